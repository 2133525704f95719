#pragma once

// Answers --help and --version on the terminal and exits, before any display is
// needed; any other arguments (Qt's own: -platform, -style, …) are left to the
// application.
void answerCommandLine(int argc, char *argv[]);
