#include "update/QXChecksumLanes.h"

std::vector<QXChecksumForm> QXChecksumAvailableForms() {
    __builtin_cpu_init();
    std::vector<QXChecksumForm> forms;
    if (__builtin_cpu_supports("avx2"))
        forms.push_back(&QXChecksumAvx2);
    if (__builtin_cpu_supports("sse4.1"))
        forms.push_back(&QXChecksumSse41);
    forms.push_back(&QXChecksumPortableLanes);
    return forms;
}
