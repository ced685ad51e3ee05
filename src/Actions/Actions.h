// The actions of the program: the report on one user account and its sections, and the list
// of local accounts.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "Format/Guards.h"
#include "Win32.h"

// Report-wide values, set by ReportUser before any section runs.
extern bool IsCurrentUser;
extern std::wstring ComputerName;
// The server argument of the account calls: ComputerName, or none (the local computer) when
// the computer's name could not be had.
LPCWSTR ComputerNameArgument();

// The report on one account; the empty name stands for the user who runs the program.
void ReportUser(std::wstring_view userName);
// The table of the local computer's accounts.
void ListLocalUsers();

// Sections of the report.
void ShowUserInfo(const std::wstring& userName);
void PrintUserInfo(const USER_INFO_3& record);
void ShowGroups(const std::wstring& userName);
void ShowPrivileges();
void ShowPrivilegeLine(std::wstring_view name);
bool HasPrivilege(std::wstring_view name);
std::wstring GetPrivilegeDisplayName(std::wstring_view name);
void ShowEnvironment();
// The zero-ended entries of an environment block, in block order, up to the empty entry that
// ends it; none for a missing block.
std::vector<std::wstring> SplitEnvironmentBlock(const wchar_t* block);

// Name-and-SID lines of the groups section.
void WriteNameWithSid(std::wstring_view name, std::wstring_view sidText);
void WriteAccountListWithSids(const LPWSTR* names, DWORD count);

// Text builders of the account details.
std::wstring PrivilegeLevelText(DWORD level);
std::wstring FlagText(DWORD value, DWORD mask, std::wstring_view name);
std::wstring UserFlagsText(DWORD flags);
std::wstring OperatorFlagsText(DWORD flags);

// The user's locale as the date lines use it, read when the module starts.
struct DateFormat {
  std::array<std::wstring, 12> monthNames;
  std::wstring longTimeFormat;  // Windows' pattern: h hh H HH m mm s ss t tt 'literal'
  std::wstring amDesignator;
  std::wstring pmDesignator;
};
DateFormat ReadDateFormat();
// "unknown" for 0, "never" for 0xFFFFFFFF, otherwise the UTC date and time of the seconds since
// 1970 as "dd mmmm yyyy" and the long time format.
std::wstring NetTimeText(DWORD seconds);
std::wstring NetTimeText(DWORD seconds, const DateFormat& format);
// The date format the report uses, read at start-up and dropped at the end.
void LoadDateFormat();
void UnloadDateFormat();

// Turns a failed account-database status into the report's error.
[[noreturn]] void RaiseNetStatus(NET_API_STATUS status, const char* call,
                                 std::wstring_view userName);

// Start and end of the report module: reads the date format; clears the report-wide values.
class ActionsModule : NonCopyable {
 public:
  ActionsModule();
  ~ActionsModule();
};
