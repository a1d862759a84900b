// The shell's process-wide state and the ways the process ends.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ostrivel {

// While the hold is above 0 no event reaches a handler: it is dropped, not queued.
bool EventsHeld();
void RaiseEventHold();
void LowerEventHold();

// Raises the hold for its lifetime.
class ScopedEventHold {
 public:
  ScopedEventHold() { RaiseEventHold(); }
  ~ScopedEventHold() { LowerEventHold(); }
  ScopedEventHold(const ScopedEventHold&) = delete;
  ScopedEventHold& operator=(const ScopedEventHold&) = delete;
};

// The folder that holds the program file (no trailing "/"), in file-system bytes.
std::string ProgramDirectory();
// Makes the program's folder the current directory.
void ChangeToProgramDirectory();

// What EndProgram releases before the process ends (the main window and its controls).
void SetShellResourceRelease(std::function<void()> release);

// Holds events for good, releases the shell's resources and ends the process with the code
// (an exit status is 8 bits, so -1 is seen as 255).
[[noreturn]] void EndProgram(int exit_code);

// Shows an error box that no window owns, saying a run-time error occurred and giving the
// message (code page 936 text), then EndProgram(-1).
[[noreturn]] void FatalError(std::string_view message);

}  // namespace ostrivel
