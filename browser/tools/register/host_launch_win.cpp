#include "host_launch.h"

#include <windows.h>

#include "wide_text_win.h"

namespace registration {
namespace {

constexpr wchar_t kCheckVariable[] = L"CORVANTILHUB_STARTUP_CHECK";

// Quotes one argument so that the C runtime's parser gives it back whole.
std::wstring QuotedArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quotation mark are doubled, and the mark escaped.
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

std::wstring CommandLineOf(const HostLaunch& launch) {
  std::wstring line = QuotedArgument(launch.program.wstring());
  for (const std::string& argument : launch.arguments) {
    line += L" " + QuotedArgument(Utf8ToWide(argument));
  }
  return line;
}

std::string ErrorText(const char* what, DWORD code) {
  return std::string(what) + ": error " + std::to_string(code);
}

// Everything in the pipe, once its writer has gone.
std::string ReadAll(HANDLE pipe) {
  std::string output;
  char buffer[4096];
  DWORD count = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &count, nullptr) && count > 0) {
    output.append(buffer, count);
  }
  return output;
}

struct Pipe {
  HANDLE read = nullptr;
  HANDLE write = nullptr;
};

bool MakePipe(Pipe* pipe) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreatePipe(&pipe->read, &pipe->write, &inherit, 0) != 0;
}

}  // namespace

// Chromium-family browsers pass the caller's origin and the window to parent
// dialogs to (0, as for a background page); Firefox the manifest's path and
// the add-on ID.
std::vector<std::string> BrowserArguments(bool chromiumFamily,
                                          const std::string& manifestPath,
                                          const std::string& extensionId) {
  if (!chromiumFamily) return {manifestPath, extensionId};
  return {"chrome-extension://" + extensionId + "/", "--parent-window=0"};
}

HostRun RunHostOnce(const HostLaunch& launch, std::chrono::seconds patience) {
  HostRun run;
  Pipe input, output, errors;
  if (!MakePipe(&input) || !MakePipe(&output) || !MakePipe(&errors)) {
    run.launchError = ErrorText("cannot make a pipe", GetLastError());
    return run;
  }
  // Our ends stay with us; the host gets the others.
  SetHandleInformation(input.write, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(output.read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errors.read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.read;
  startup.hStdOutput = output.write;
  startup.hStdError = errors.write;
  PROCESS_INFORMATION process{};
  std::wstring commandLine = CommandLineOf(launch);
  const std::wstring folder = launch.program.parent_path().wstring();
  SetEnvironmentVariableW(kCheckVariable, L"1");
  const BOOL created = CreateProcessW(
      launch.program.wstring().c_str(), commandLine.data(), nullptr, nullptr,
      TRUE, CREATE_NO_WINDOW, nullptr, folder.c_str(), &startup, &process);
  const DWORD createError = GetLastError();
  SetEnvironmentVariableW(kCheckVariable, nullptr);
  for (HANDLE end : {input.read, input.write, output.write, errors.write}) {
    CloseHandle(end);  // the host's input is empty from the start
  }
  if (!created) {
    run.launchError = ErrorText("cannot start it", createError);
  } else {
    run.started = true;
    const DWORD waited = WaitForSingleObject(
        process.hProcess, static_cast<DWORD>(patience.count() * 1000));
    run.ended = waited == WAIT_OBJECT_0;
    if (!run.ended) TerminateProcess(process.hProcess, 1);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    run.exitStatus = code;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    run.errorOutput = ReadAll(errors.read);
  }
  CloseHandle(output.read);
  CloseHandle(errors.read);
  return run;
}

}  // namespace registration
