#include "update/QXChecksumLanes.h"

std::vector<QXChecksumForm> QXChecksumAvailableForms() { return {&QXChecksumPortableLanes}; }
