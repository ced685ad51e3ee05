// The account-database status rule shared by the account details and groups sections.
#include "Actions/Actions.h"
#include "Format/Error.h"
#include "Format/Format.h"

void RaiseNetStatus(NET_API_STATUS status, const char* call, std::wstring_view userName) {
  switch (status) {
    case ERROR_ACCESS_DENIED:
      throw Error("Access Denied");
    case NERR_UserNotFound:
      throw Error(Format("User: \"%s\" does not exist", {userName}));
    case NERR_InvalidComputer:
      throw Error(Format("Computer: \"%s\" does not exist", {ComputerName}));
    default:
      throw Error(Format("Unknown response from %s: %d", {call, status}));
  }
}
