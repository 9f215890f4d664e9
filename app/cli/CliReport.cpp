// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CliReport.h"

#include "store/Report.h"
#include "store/Sqlite.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>

namespace vemo::cli {

int WriteCliReport(const TCliReport& r, std::FILE* out, std::FILE* err) {
  const std::optional<TReportPeriod> period =
      ParseReportPeriod(QString::fromStdString(r.Period), QTimeZone::systemTimeZone());
  if (!period) {
    std::fprintf(err, "vemoswr-cli: '%s' is no day (2026-12-08) or ISO week (2026-W50).\n",
                 r.Period.c_str());
    return 2;
  }
  const QString name = r.Name.empty()
                           ? QFileInfo(QString::fromStdString(r.Database)).completeBaseName()
                           : QString::fromStdString(r.Name);
  QByteArray html;
  try {
    html = BuildReport(r.Database, name, *period, r.Levels, QDateTime::currentMSecsSinceEpoch())
               .Html.toUtf8();
  } catch (const StoreError& x) {
    std::fprintf(err,
                 "vemoswr-cli: cannot read the history %s: %s. Give the database of a monitor "
                 "(NAME.sqlite in the program's or the service's data folder).\n",
                 r.Database.c_str(), x.what());
    return 1;
  }
  if (r.Output.empty()) {
    std::fwrite(html.constData(), 1, static_cast<size_t>(html.size()), out);
    return 0;
  }
  QSaveFile file(QString::fromStdString(r.Output));
  if (!file.open(QIODevice::WriteOnly) || file.write(html) != html.size() || !file.commit()) {
    std::fprintf(err, "vemoswr-cli: cannot write the report to %s: %s. Choose a writable place.\n",
                 r.Output.c_str(), file.errorString().toUtf8().constData());
    return 1;
  }
  return 0;
}

}  // namespace vemo::cli
