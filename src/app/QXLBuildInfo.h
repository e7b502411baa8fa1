#pragma once

// Build stamps written by the start banner.
inline constexpr wchar_t kQXInternalVersion[] = L"11.1.3.*";
inline constexpr wchar_t kQXChangeStamp[] = L"$Change: 695933 $";
inline constexpr wchar_t kQXDateTimeStamp[] = L"$DateTime: 2012/08/08 15:31:30 $";
