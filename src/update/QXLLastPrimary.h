#pragma once

#include <optional>
#include <string>

#include "protocol/QXLPrimaryApplication.h"

// The primary application that the last verified reply named, kept in the installation's
// QXLauncher.ini ([QXLauncher] LastPrimaryName and LastPrimaryParameters): when a later run
// refuses the replies for their signature, it still starts the application the site last
// vouched for rather than the default one.
class CQXLLastPrimary {
public:
    // installationDirectory ends with its separator.
    explicit CQXLLastPrimary(const std::wstring& installationDirectory);

    // Keeps primary (an empty name too: the site then named the default).
    void Remember(const CQXLPrimaryApplication& primary) const;
    // The kept one; nullopt when no verified reply was ever kept.
    std::optional<CQXLPrimaryApplication> Recall() const;

private:
    std::wstring m_file;
};
