// Measures the Options page: its sheet from PropertySheetA to the page on
// screen (the page's creation runs the explorer's start-up preparation
// again), an activation (options read, patrol images and check boxes
// shown), and one check-box click (the option and the options saved at exit
// written back). Runs inside vlexbench, which puts the user's
// "Software\Corvath" tree aside and back; the clicked box is clicked twice.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "benchhost.h"
#include "explorer/explorer.h"

namespace {

constexpr const char* kCaption = "VlExBench options";
constexpr int kRuns = 5;
constexpr int kSoundBox = 1020;

// The box is clicked back at once, so that every run starts from the
// user's setting; only the first click is timed.
double ClickSoundBox(HWND page)
{
    const double t = BenchNow();
    SendMessageA(GetDlgItem(page, kSoundBox), BM_CLICK, 0, 0);
    const double ms = BenchNow() - t;
    SendMessageA(GetDlgItem(page, kSoundBox), BM_CLICK, 0, 0);
    return ms;
}

}  // namespace

void PrintOptionsPage()
{
    std::vector<double> open, activation, click;
    for (int i = 0; i < kRuns; ++i) {
        PageBench run;
        run.desc = &OptionsPageSpec();
        run.caption = kCaption;
        run.runs = kRuns;
        run.afterActivation = ClickSoundBox;
        HostPage(&run);
        if (!run.shown) break;
        open.push_back(run.openMs);
        activation.push_back(Median(run.activation));
        click.push_back(Median(run.step));
    }
    std::printf("Options page: a one-page sheet in this process, %d opens with %d activations and\n"
                "check-box clicks each; medians in ms.\n\n", kRuns, kRuns);
    std::printf("| step | median (ms) |\n|---|---|\n");
    std::printf("| sheet open to the page shown (with the start-up preparation) | %.1f |\n", Median(open));
    std::printf("| page activation | %.2f |\n", Median(activation));
    std::printf("| check-box click (option and the 27 saved options written) | %.2f |\n\n", Median(click));
}
