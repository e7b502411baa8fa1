#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Column types of the reply tables: the number each reader gives a header column by its name
// (matched without regard to case), and that the parser hands back with each of its values.
enum eType : int {
    TypeUnknown = -1, // a column the reader in use does not know: its values are dropped
    TypeUpdate = 1,
    TypeVersion = 2,
    TypeForceUpdate = 3,
    TypeForceReboot = 4,
    TypeApplicationName = 5,
    TypeApplicationLabel = 6,
    TypeDaysBeforeForceUpdateValue = 7,
    TypeReleaseNoteName = 8,
    TypeUpdateOnExit = 9,
    TypeStartBureauByDefault = 10,
    TypeZipEnable = 11,
    TypeFileName = 12,
    TypeFileSize = 13,
    TypeFileChecksum = 14,
    TypeFileMode = 15,
    TypeIsActiveX = 16,
    TypeHasToBeLaunched = 17,
    TypePrimaryName = 18,
    TypePrimaryParameters = 19,
    TypeParameters = 20,
    TypeVersionName = 21,
    TypeFilePath = 22,
    TypeDaysBeforeForceChangePasswordValue = 23,
    TypeDaysBeforeChangePasswordWarning = 24,
    TypeWarningForceUpdate = 25,
    TypeFileSha256 = 26,
    TypeFileExecutable = 27,
    TypeUpdateReports = 28,
};

// A column name and the type it stands for.
struct QXColumnName {
    const wchar_t* name;
    eType type;
};

// The type of a header column among the names a reader knows, TypeUnknown for any other.
template <std::size_t N>
eType QXColumnType(const std::wstring& name, const QXColumnName (&known)[N]);

// Case-insensitive equality of two texts (ASCII letters fold, as the server's names are ASCII).
bool QXEqualsNoCase(const std::wstring& a, const std::wstring& b);

// 1 when the value is "TRUE" in any letter case, 0 for anything else.
int QXReplyFlag(const std::wstring& value);

// The leading decimal number (blanks, one sign, digits) read as 64 bits, of which the low 32
// are kept: a checksum above 2^31 - 1 keeps its unsigned value. 0 without digits.
std::uint32_t QXReplyInteger(const std::wstring& value);

// The value without white space at either end.
std::wstring QXReplyText(const std::wstring& value);

// The file mode number of a "FileMode" value, compared untrimmed and without regard to case:
// delta/1, create/creation/2, suppression/delete/3, update/4, install/installer/5; else 0.
int QXReplyMode(const std::wstring& value);

template <std::size_t N>
eType QXColumnType(const std::wstring& name, const QXColumnName (&known)[N]) {
    for (const QXColumnName& column : known)
        if (QXEqualsNoCase(name, column.name))
            return column.type;
    return TypeUnknown;
}
