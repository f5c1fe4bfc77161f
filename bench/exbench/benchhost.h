// What the explorer's page benches share: the clock, the summaries of a
// series of timings, the system folder's files as test data, and one page
// hosted in a one-page sheet of this process while a second thread sends it
// what the user's activations and column clicks send.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "explorer/explorer.h"

// Milliseconds from the performance counter.
double BenchNow();

struct Stats {
    double median = 0, best = 0, worst = 0;
};
// All zero for an empty series.
Stats Summarize(std::vector<double> ms);
double Median(std::vector<double> ms);
// part / whole, or 0 when nothing was measured for whole.
double Ratio(double part, double whole);

// The full paths of the system folder's files matching pattern ("*.exe"):
// many real programs and libraries (icons, version records) to point the
// bench's entries at. Empty when the folder cannot be listed.
std::vector<std::string> SystemFiles(const char* pattern);

// The path of name in the temporary folder, where a bench keeps the files
// it makes (and removes them again).
std::string TempFolder(const char* name);

// A visible dialog with this caption, looked for every pollMs for up to a
// minute; null when none showed.
HWND WaitForShownDialog(const char* caption, int pollMs);

// One page in its sheet. The caller fills the first block; HostPage fills
// the figures.
struct PageBench {
    const PageSpec* desc = nullptr;
    const char* caption = nullptr;
    int runs = 0;
    int (*enumerate)() = nullptr;   // timed before each activation when given
    // Run after each activation when given; its return (ms) is kept in step.
    double (*afterActivation)(HWND page) = nullptr;
    bool sortColumns = false;   // every column clicked after each activation

    bool shown = false;
    double openMs = 0;   // PropertySheetA to the sheet on screen, its first fill included
    int rows = 0;        // the list's rows after the last activation
    std::vector<double> bare, activation, step, sorts[kMaxColumns];
    double openedAt = 0;
};

// Opens the sheet on this thread and returns when the driving thread has
// closed it. Without a driving thread the sheet is not opened at all: no
// one would close it.
void HostPage(PageBench* bench);

// A page measured by activations (and column clicks when sortColumns), each
// after the enumeration its fill runs.
PageBench MeasurePage(const PageSpec& desc, const char* caption, int runs, int (*enumerate)(),
                      bool sortColumns);
