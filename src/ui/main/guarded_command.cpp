#include "ui/main/guarded_command.h"

#include <QLabel>
#include <QTimer>

#include "core/busy_guard.h"
#include "ui/cmdline/parm_processing.h"
#include "ui/main/corvel_prog.h"

namespace corvelle {

CommandHandler Guarded(void (*command)(TCorvelProg&)) {
  return [command](TCorvelProg& window) {
    {
      BusyGuard guard;
      if (!guard) {
        window.Panel3->setText(QString::fromUtf8(kBusyText));
        return;
      }
      command(window);
    }
    if (!window.PendingParms.empty()) QTimer::singleShot(0, &window, [&window] { RunPendingParms(window); });
  };
}

}  // namespace corvelle
