#include "frontend/quavern_program.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "components/registrar/component_registrar.h"
#include "components/tonemeter2.h"
#include "components/trackmill2.h"
#include "frontend/application_events.h"
#include "frontend/data_folder.h"
#include "frontend/disc_controller.h"
#include "frontend/rip_batch.h"
#include "frontend/tfm_about.h"
#include "frontend/tfm_dir.h"
#include "frontend/tfm_id3.h"
#include "frontend/tfm_main.h"
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
  if (creatable(CLSID_AudioCDRipper2) && creatable(CLSID_AudioInformation2)) return true;
  const QString installed = QDir(QCoreApplication::applicationDirPath()).filePath("../lib/ripmarrow");
  const ripmarrow::ComponentRegistrar registrar =
      QFileInfo::exists(installed + "/libtrackmill2.so")
          ? ripmarrow::ComponentRegistrar::installedIn(QDir::cleanPath(installed).toStdString())
          : ripmarrow::ComponentRegistrar::builtComponents();
  registrar.registerAll(log);
  return creatable(CLSID_AudioCDRipper2) && creatable(CLSID_AudioInformation2);
}

QuavernProgram::QuavernProgram(QuavernApplication& application, Seams seams) : application_(application) {
  main_ = new Tfm_main(seams, engine_, tags_);
  main_->setAttribute(Qt::WA_DeleteOnClose, false);
  disc_ = std::make_unique<DiscController>(engine_, *seams.settings, *seams.prompter, tags_, main_->discView());
  ripBatch_ = std::make_unique<RipBatch>(engine_, *seams.settings, *seams.prompter, *seams.opener, tags_, *disc_,
                                         main_->ripBatchView());
  main_->attach(*disc_, *ripBatch_);
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

QuavernProgram::~QuavernProgram() {
  application_.setHooks({}, {});
  delete main_;  // closes: the batch is abandoned, playback stopped, the engine let go
  ripBatch_.reset();
  disc_.reset();
}

}  // namespace quavern
