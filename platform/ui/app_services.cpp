#include "platform/ui/app_services.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <filesystem>

#include "core/threading/ui_dispatcher.h"
#include "platform/os/number_text.h"
#include "platform/ui/dpi.h"
#include "platform/ui/owner_activation.h"
#include "platform/ui/ui_thread.h"

namespace ORV::UI {
namespace {

// The core's dispatcher over the GUI thread's queue.
class GuiDispatcher : public Threading::UiDispatcher {
 public:
  bool Post(std::function<void()> call) override { return PostToUiThread(std::move(call)); }
  bool IsUiThread() const override { return UI::IsUiThread(); }
};

ScriptedFileDialogs* g_fileScript = nullptr;

std::vector<std::string_view> SplitBars(std::string_view text) {
  std::vector<std::string_view> parts;
  while (!text.empty()) {
    const std::size_t bar = text.find('|');
    parts.push_back(text.substr(0, bar));
    if (bar == std::string_view::npos) break;
    text.remove_prefix(bar + 1);
  }
  return parts;
}

// "*.avi;*.AVI" -> "*.avi *.AVI"; every-file patterns become "*".
QString QtPatterns(std::string_view patterns) {
  QStringList out;
  for (const QString& p :
       QString::fromUtf8(patterns.data(), static_cast<qsizetype>(patterns.size())).split(u';', Qt::SkipEmptyParts)) {
    const QString pattern = p.trimmed();
    if (pattern.isEmpty()) continue;
    out << (pattern == QStringLiteral("*.*") ? QStringLiteral("*") : pattern);
  }
  return out.isEmpty() ? QStringLiteral("*") : out.join(u' ');
}

}  // namespace

void InitApplicationServices() {
  OS::PinNumericLocale();
  InstallScreenDpiProvider();
  Threading::SetUiDispatcher(std::make_shared<GuiDispatcher>());
}

QString QtFileFilter(std::string_view filter) {
  const std::vector<std::string_view> parts = SplitBars(filter);
  QStringList entries;
  for (std::size_t i = 0; i < parts.size(); i += 2) {
    if (parts[i].empty()) break;  // "||" ends the list
    QString description = QString::fromUtf8(parts[i].data(), static_cast<qsizetype>(parts[i].size())).trimmed();
    // The description's own "(*.x)" is replaced by the patterns Qt filters by.
    if (description.endsWith(u')')) {
      const qsizetype open = description.lastIndexOf(u'(');
      if (open >= 0) description = description.left(open).trimmed();
    }
    const std::string_view patterns = i + 1 < parts.size() ? parts[i + 1] : std::string_view();
    entries << description + QStringLiteral(" (") + QtPatterns(patterns) + u')';
  }
  return entries.join(QStringLiteral(";;"));
}

std::string AppendDefaultExtension(const std::string& path, std::string_view defaultExtension) {
  if (defaultExtension.empty() || path.empty()) return path;
  if (std::filesystem::path(path).has_extension()) return path;
  std::string out = path;
  if (defaultExtension.front() != '.') out += '.';
  out += defaultExtension;
  return out;
}

QString DialogStartFolder(const std::string& folder) {
  const QString asked = QString::fromStdString(folder);
  if (!asked.isEmpty() && QFileInfo(asked).isDir()) return QDir(asked).absolutePath();
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
  return QDir::homePath();
}

std::optional<std::string> AskForFile(QWidget* owner, const FileDialogRequest& request) {
  std::optional<std::string> chosen;
  if (g_fileScript) {
    g_fileScript->asked_.push_back(request);
    if (!g_fileScript->answers_.empty()) {
      chosen = std::move(g_fileScript->answers_.front());
      g_fileScript->answers_.pop_front();
    }
  } else {
    // A folder that is gone would leave the dialog in the home folder with
    // the folder's name as the file name.
    QString start = DialogStartFolder(request.folder);
    if (!request.fileName.empty()) start += u'/' + QString::fromStdString(request.fileName);
    const QString filter = QtFileFilter(request.filter);
    const OwnerActivation giveBack(owner);
    const QString path = request.save ? QFileDialog::getSaveFileName(owner, request.title, start, filter)
                                      : QFileDialog::getOpenFileName(owner, request.title, start, filter);
    if (!path.isEmpty()) chosen = path.toStdString();
  }
  if (!chosen || chosen->empty()) return std::nullopt;
  return AppendDefaultExtension(*chosen, request.defaultExtension);
}

ScriptedFileDialogs::ScriptedFileDialogs() { g_fileScript = this; }
ScriptedFileDialogs::~ScriptedFileDialogs() { g_fileScript = nullptr; }

CWaitCursor::CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
CWaitCursor::~CWaitCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace ORV::UI
