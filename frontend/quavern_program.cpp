#include "frontend/quavern_program.h"

#include "client/component_setup.h"
#include "client/drive_access.h"
#include "client/drive_request.h"
#include "components/tonemeter2.h"
#include "components/trackmill2.h"
#include "frontend/application_events.h"
#include "frontend/data_folder.h"
#include "frontend/disc_controller.h"
#include "frontend/drive_station.h"
#include "frontend/rip_batch.h"
#include "frontend/tfm_about.h"
#include "frontend/tfm_dir.h"
#include "frontend/tfm_id3.h"
#include "frontend/tfm_main.h"
#include "frontend/settings/settings_store.h"
#include "frontend/settings/tfm_set.h"
#include "frontend/tfm_converter.h"

namespace quavern {

namespace {

bool creatable(REFCLSID clsid) {
  com::ComPtr<IClassFactory> factory;
  return SUCCEEDED(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.putVoid()));
}

}  // namespace

bool ensureComponentsRegistered(std::ostream& log) {
  client::ensureComponentsRegistered(log);
  return creatable(CLSID_AudioCDRipper2) && creatable(CLSID_AudioInformation2);
}

QuavernProgram::QuavernProgram(QuavernApplication& application, Seams seams)
    : application_(application), seams_(seams) {
  main_ = new Tfm_main(seams, engine_, tags_);
  main_->setAttribute(Qt::WA_DeleteOnClose, false);
  disc_ = std::make_unique<DiscController>(engine_, *seams.settings, *seams.prompter, tags_, main_->discView());
  ripBatch_ = std::make_unique<RipBatch>(engine_, *seams.settings, *seams.prompter, *seams.opener, tags_, *disc_,
                                         main_->ripBatchView());
  main_->attach(*disc_, *ripBatch_);
  station_ = std::make_unique<DriveStation>(*seams.settings, main_->drivesView());
  main_->attachStation(*station_);
  Tfm_main* window = main_;
  Dialogs dialogs;
  dialogs.set = new Tfm_set(*seams.settings, *seams.prompter, main_);
  dialogs.about = new Tfm_about(*seams.opener, dataFolder() + "/about_banner.svg", main_);
  dialogs.dir = new Tfm_dir(*seams.settings, main_);
  dialogs.converter = new Tfm_converter(
      seams,
      [window](QWidget* owner, const FolderRequest& request, const std::string& start) {
        return window->chooseFolder(owner, request, start);
      },
      main_);
  dialogs.id3 = new Tfm_id3(tags_, *main_, main_);
  main_->setDialogs(dialogs);
  application_.setHooks([window](QObject* target, QEvent* event) { return window->ApplicationEventsMessage(target, event); },
                        [window] { window->ApplicationEventsException(); });
}

void QuavernProgram::showDrive(const std::string& drive) {
  if (main_->isMinimized()) main_->showNormal();
  main_->raise();
  main_->activateWindow();
  if (drive.empty()) return;
  client::DriveRequest request;
  std::string error;
  if (!client::parseDriveRequest(drive, request, error)) {
    seams_.prompter->inform(main_, error);
    return;
  }
  IAudioCDRipper2* engine = engine_.engine();
  LONG count = 0;
  if (engine != nullptr) engine->get_driveCount(&count);
  const LONG number = count > 0 ? client::resolveDriveRequest(engine, request) : 0;
  if (count > 0) engine->put_driveNum(disc_->driveIndex() + 1);  // the resolution moved it
  if (number <= 0) {
    seams_.prompter->inform(main_, "There is no drive " + drive + ".");
    return;
  }
  seams_.settings->writeInt("cd", "cd rom", static_cast<int>(number - 1));
  disc_->chooseDrive(static_cast<int>(number - 1));
}

void QuavernProgram::sayRefusedDrives() {
  if (refusedDrivesSaid_) return;
  refusedDrivesSaid_ = true;
  const std::string advice = client::driveAccessAdvice();
  if (!advice.empty()) seams_.prompter->inform(main_, advice);
}

QuavernProgram::~QuavernProgram() {
  application_.setHooks({}, {});
  delete main_;  // closes: the workers stopped, the batch abandoned, playback stopped, the engine let go
  station_.reset();
  ripBatch_.reset();
  disc_.reset();
}

}  // namespace quavern
