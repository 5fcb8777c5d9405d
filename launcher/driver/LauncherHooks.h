// The launcher's own answers to the layers below the driver: the launch
// environment that launch scripts and the JVM search read, and the actions
// that instructions call. Both forward to Launcher; Launcher::process
// installs them for the run.
#ifndef LAUNCHER_DRIVER_LAUNCHERHOOKS_H_
#define LAUNCHER_DRIVER_LAUNCHERHOOKS_H_

#include "instructions/InstructionActions.h"
#include "jvm/LaunchEnvironment.h"

class LauncherEnvironment : public LaunchEnvironment {
 public:
  SString getLauncherFileName() const override;
  SString getApplicationArchive() override;
  SString getApplicationArchive(const SString& name) override;
  bool hasEmbeddedFiles(int fileType) const override;
  void extractEmbeddedFiles(int fileType, const SString& directory,
                            StringDeque& paths) override;
  SString digestEmbeddedFiles(int fileType) const override;
};

class LauncherActions : public InstructionActions {
 public:
  void findJVM(bool showUI, bool showFailMsg) override;
  void initializeUI() override;
  void installJVM(long option) override;
  void launch(const SString& jvmFileName, short seconds) override;
  void ilaunch(long fileId, short seconds) override;
  void verifyJVM(bool showUI, bool showFailMsg, long fileId) override;
};

#endif  // LAUNCHER_DRIVER_LAUNCHERHOOKS_H_
