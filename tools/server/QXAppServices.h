#pragma once

#include <cstdint>

#include "QXDeltaStore.h"
#include "QXForm.h"
#include "QXReleaseStore.h"
#include "QXReply.h"
#include "QXRollouts.h"
#include "QXSessionStore.h"
#include "QXUserStore.h"

// The information and file services. Each needs a live session (403 otherwise) and answers
// with a reply table, a file, or a refusal: 404 for an application, version or file the user
// cannot have. A running rollout gives its audience its version, unless the user's own section
// names one.
class CQXAppServices {
public:
    CQXAppServices(CQXReleaseStore& releases, CQXUserStore& users, CQXSessionStore& sessions,
                   CQXRollouts& rollouts, std::int64_t passwordWarningDays);

    SQXReply ApplicationInfo(const CQXForm& form);
    SQXReply VersionList(const CQXForm& form);
    SQXReply Primary(const CQXForm& form);
    SQXReply Checksums(const CQXForm& form);
    SQXReply File(const CQXForm& form);
    SQXReply ZippedFiles(const CQXForm& form);
    // GetAppFileDelta: the patch of a listed file for the base that "basesize" and
    // "basechecksum" name, or without them the file packed on its own; 404 when the list
    // offers no such frame.
    SQXReply FileDelta(const CQXForm& form);
    SQXReply UpdateDone(const CQXForm& form);
    SQXReply UpdateFailed(const CQXForm& form);

    // A signing site: file lists gain the FileSha256 column from now on.
    void ListSha256() {
        m_listSha256 = true;
        m_releases.ComputeSha256();
    }

    // File lists announce patches and packed copies from deltas from now on.
    void UseDeltas(CQXDeltaStore& deltas) { m_deltas = &deltas; }

private:
    // The service body, run once the session is known.
    using Body = SQXReply (CQXAppServices::*)(const CQXForm&, const SQXSession&);
    SQXReply WithSession(const CQXForm& form, Body body);
    // The version the user gets: the assignment's, or a running rollout's for its audience.
    std::string GivenVersion(const std::string& application, const std::string& user) const;
    // True when the user may have this version of the application.
    bool Allowed(const std::string& application, const std::string& version,
                 const std::string& user) const;
    // The 404 for a version the user may not have; when the site names it (empty: the one the
    // user gets) and its folder is missing, the reply carries that reason for the error log.
    SQXReply RefuseVersion(const CQXForm& form, const std::string& application,
                           const std::string& version, const std::string& user) const;

    SQXReply DoApplicationInfo(const CQXForm& form, const SQXSession& session);
    SQXReply DoVersionList(const CQXForm& form, const SQXSession& session);
    SQXReply DoPrimary(const CQXForm& form, const SQXSession& session);
    SQXReply DoChecksums(const CQXForm& form, const SQXSession& session);
    SQXReply DoFile(const CQXForm& form, const SQXSession& session);
    SQXReply DoZippedFiles(const CQXForm& form, const SQXSession& session);
    SQXReply DoFileDelta(const CQXForm& form, const SQXSession& session);
    SQXReply DoUpdateDone(const CQXForm& form, const SQXSession& session);
    SQXReply DoUpdateFailed(const CQXForm& form, const SQXSession& session);

    CQXReleaseStore& m_releases;
    CQXUserStore& m_users;
    CQXSessionStore& m_sessions;
    CQXRollouts& m_rollouts;
    std::int64_t m_warningDays;
    bool m_listSha256 = false;
    CQXDeltaStore* m_deltas = nullptr;
};
