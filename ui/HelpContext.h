// Help contexts of the dialogs, the table of the help pages and the help viewer call.
#pragma once

#include <QString>
#include <span>

class QWidget;

constexpr int kHelpContents = 0;
constexpr int kHelpComSetup = 570;
constexpr int kHelpSystemSetup = 580;
constexpr int kHelpModem = 590;
constexpr int kHelpSites = 600;
constexpr int kHelpExtensions = 4200;

// One help page: the context that opens it (-1: reached only by a link from the contents), its
// file in the resource folder :/help and its title.
struct THelpPage {
  int Context;
  const char* File;
  const char* Title;
};

// Every page of the help, the contents first. ShowHelp and the help window read this table.
std::span<const THelpPage> HelpPages();
// The resource URL of the page of Context; the contents for a context without a page.
QString HelpPageUrl(int Context);

// Opens the program's help window (one window, reused) at the page of Context (0: contents).
void ShowHelp(int Context);

// Gives Dialog its help context: F1 in it opens that page. Call where the dialog connects its
// Help button; calling again (e.g. on a page change) replaces the context.
void SetHelpContext(QWidget* Dialog, int Context);
// Opens the page of Dialog's context as it stands (what F1 opens); the dialogs' Help buttons.
void ShowDialogHelp(QWidget* Dialog);
