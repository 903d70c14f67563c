#include "program/life_app.h"

#include "program/life_window.h"
#include "ui/options_dialog.h"

// Three-dimensional controls need no request here: the manifest selects the
// version 6 common controls and the dialog initialises them before it runs.
TLifeApp::TLifeApp(const char* applicationName) : TScrnSavApp(applicationName) {}

void TLifeApp::MakeSaverWindow() { saverWindow = new TLifeWindow(nullptr, kSaverName, nullptr); }

void TLifeApp::MakeOptionsDialog() { optionsDialog = new TLifeDlg(nullptr); }
