// Help contexts of the dialogs and the help viewer call.
#pragma once

constexpr int kHelpComSetup = 570;
constexpr int kHelpSystemSetup = 580;

// Opens the program's help at the page of Context (0: contents). Without an installed help
// file, nothing happens.
void ShowHelp(int Context);
