#include "CapturedOutput.h"

#include <vector>

CapturedOutput::CapturedOutput() : previous_(GetStdHandle(STD_OUTPUT_HANDLE)) {
  wchar_t directory[MAX_PATH + 1] = {};
  wchar_t path[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, directory);
  GetTempFileNameW(directory, L"ul", 0, path);
  path_ = path;
  HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (file != INVALID_HANDLE_VALUE) file_ = HandleGuard(file);
  SetStdHandle(STD_OUTPUT_HANDLE, file_.get());
  console_ = std::make_unique<ConsoleModule>();
  sddl_ = std::make_unique<SddlModule>();
  secUtils_ = std::make_unique<SecUtilsModule>();
  actions_ = std::make_unique<ActionsModule>();
}

CapturedOutput::~CapturedOutput() {
  Finish();
  file_.Reset();
  DeleteFileW(path_.c_str());
}

std::string CapturedOutput::Finish() {
  actions_.reset();
  secUtils_.reset();
  sddl_.reset();
  console_.reset();
  SetStdHandle(STD_OUTPUT_HANDLE, previous_);
  std::string text;
  SetFilePointer(file_.get(), 0, nullptr, FILE_BEGIN);
  std::vector<char> chunk(4096);
  DWORD cbRead = 0;
  while (ReadFile(file_.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &cbRead, nullptr) &&
         cbRead > 0) {
    text.append(chunk.data(), cbRead);
  }
  return text;
}
