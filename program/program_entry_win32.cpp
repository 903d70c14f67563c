// The program entry: the store's Windows back ends, then one TLifeApp that
// runs in the mode the host asked for. Built into the executable only (the
// Win32 tests link the rest of the glue with their own main).
#include "program/life_app.h"
#include "store/store_win32.h"

namespace {

int RunSaver() {
  TLifeApp application(kSaverName);
  return application.Run();
}

}  // namespace

int main(int, char**) {
  InstallWindowsStore();
  return RunProgram(&RunSaver);
}
