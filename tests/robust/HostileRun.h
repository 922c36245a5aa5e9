// Runs the real noxel.scr on a hostile input and says how the run ended:
// by itself with an exit code, or still playing (then it must answer and
// close on a key press), or neither (hung or crashed). Also the crash
// dialog switched off for the run, so a crash ends the process with its
// exception code instead of waiting for someone to click.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace robust_tests {

// How one run of noxel.scr /s ended.
struct RunResult {
    enum Kind { Ended, Played, Hung } kind = Hung;
    DWORD code = 0;  // exit code when Ended or Played (after the key press)
    const char* stage = "";  // where a Hung run stopped: "start", "window", "answer", "close"
    DWORD answerMs = 0;      // how long a playing run took to answer a message
    std::string Describe() const;
};

// Starts noxel.scr /s with the settings as they stand, and gives it
// settleMs to end by itself; one still running then must show its window or
// end within twenty seconds, answer its window messages and end with 0 on a
// key press within ten seconds each (a slow engine's tick may take seconds
// under Wine; a hang never answers). A run that does neither is killed and
// reported as Hung.
RunResult RunSaverOnce(DWORD settleMs = 1500);

// True for a run that ended as a bad film may end: with 0 (refused at once,
// or played and closed), or with the reader's end-of-file code for a frame
// cut short.
bool IsDefinedFilmOutcome(const RunResult& result);
// True for a run that played and closed with 0.
bool Played(const RunResult& result);

// Counts the outcomes of a sweep and prints them in one line at its end.
class Tally {
public:
    explicit Tally(const char* what) : what_(what) {}
    ~Tally();
    Tally(const Tally&) = delete;
    Tally& operator=(const Tally&) = delete;
    void Count(const std::string& outcome) { ++outcomes_[outcome]; }

private:
    const char* what_;
    std::map<std::string, int> outcomes_;
};

// True when NOXEL_ROBUST_FULL=1 asks for every case instead of the sample.
bool FullSweep();

// The positions a sweep changes, or the cut lengths it tries: every one of
// [0, count) in a full sweep, else only `sample` (those below count).
std::vector<size_t> Positions(size_t count, const std::vector<size_t>& sample);

}  // namespace robust_tests
