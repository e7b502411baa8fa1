#include "QXStorage.h"

#include "QXPostgresStorage.h"
#include "QXReleaseStore.h"
#include "QXSqliteStorage.h"

std::unique_ptr<IQXStorage> OpenStorage(const std::string& location,
                                        std::chrono::milliseconds timeout) {
    for (const char* scheme : {"postgresql://", "postgres://"}) {
        if (location.rfind(scheme, 0) == 0)
            return std::make_unique<CQXPostgresStorage>(location, timeout);
    }
    return std::make_unique<CQXSqliteStorage>(location);
}

const char* UserKindName(EQXUserKind kind) {
    switch (kind) {
    case EQXUserKind::Token:
        return "token";
    case EQXUserKind::Sso:
        return "sso";
    default:
        return "password";
    }
}

EQXUserKind UserKindOf(const std::string& name) {
    if (name == "token")
        return EQXUserKind::Token;
    return name == "sso" ? EQXUserKind::Sso : EQXUserKind::Password;
}

const char* TokenStateName(EQXTokenState state) {
    switch (state) {
    case EQXTokenState::NewPin:
        return "newpin";
    case EQXTokenState::NextPasscode:
        return "nextpasscode";
    default:
        return "";
    }
}

EQXTokenState TokenStateOf(const std::string& name) {
    if (name == "newpin")
        return EQXTokenState::NewPin;
    return name == "nextpasscode" ? EQXTokenState::NextPasscode : EQXTokenState::None;
}

std::string JoinGroups(const std::vector<std::string>& groups) {
    std::string text;
    for (const auto& given : groups)
        for (const auto& group : SplitGroups(given))
            text += (text.empty() ? "" : ",") + group;
    return text;
}

std::vector<std::string> SplitGroups(const std::string& text) {
    return CQXReleaseStore::SplitVersions(text);
}

std::string UserKey(const std::string& name) {
    std::string key = name;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return key;
}
