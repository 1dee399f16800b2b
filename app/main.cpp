#include "CommandLine.h"
#include "HeadlessAnswer.h"
#include "HeadlessRun.h"
#include "WindowProgram.h"

#include <QCoreApplication>
#include <iostream>

// quorvane: answers its command line and runs without a window (--run,
// --answer) on the line
// engine alone, which needs no display and no widget library; for the window
// it becomes the window program.
int main(int argc, char* argv[])
{
    const quorvane::CommandLine commandLine(argc, argv);
    if (const auto status = commandLine.answerWithoutWindows(std::cout, std::cerr)) {
        return *status;
    }
    const quorvane::ProgramOptions& options = commandLine.options();
    if (!options.runFile.empty()) {
        QCoreApplication app(argc, argv);
        return quorvane::RunSequenceWithoutWindow(options, std::cout, std::cerr);
    }
    if (!options.answerFile.empty()) {
        QCoreApplication app(argc, argv);
        return quorvane::AnswerWithoutWindow(options, std::cout, std::cerr);
    }
    return quorvane::BecomeWindowProgram(argv, std::cerr);
}
