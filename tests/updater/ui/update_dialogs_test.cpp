// The update dialogs offscreen: their renders, the list's descriptions, and
// a check through the dialogs against the loopback update service.
#include "updater/ui/update_dialogs.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>

#include "platform/os/folders.h"
#include "platform/os/installer_backend.h"
#include "platform/os/registry_store.h"
#include "platform/ui/message_box.h"
#include "tests/support/ui/ui_test_support.h"
#include "updater/rich_text.h"
#include "updater_fixture.h"

namespace ORV::Test {
namespace {

using namespace Freshet;

std::vector<UpdateEntry> Entries() {
  return {{"Tarvix 5", QString::fromStdString(RtfToHtml("{\\rtf1 Faster {\\b exports}\\par and fixes}")), 5, 6, 0, 12},
          {"Tarvix 5 camera drivers", "<p>New drivers</p>", 2, 1, 3, 4}};
}

class StillTasks : public UpdateTasks {
 public:
  void StartCheck() override {}
  std::optional<UpdateResponses> CheckResult() override { return std::nullopt; }
  void StartUpdate(UpdateResponses) override {}
  std::optional<bool> UpdateResult() override { return std::nullopt; }
};

TEST(UpdateDialogs, RendersOfTheThreeDialogs) {
  std::map<std::string, QSize> sizes;
  for (const int dpi : {96, 144}) {
    ScopedDpi scoped(dpi);
    const std::string suffix = "_" + std::to_string(dpi);
    StillTasks tasks;
    UpdateCheckDialog check(tasks, false, [] { return false; });
    EXPECT_EQ(RunModal(check,
                       [&] {
                         sizes["update_check" + suffix] = SaveUiArtifact(check, "update_check" + suffix).size();
                         check.CancelButton()->click();
                       }),
              UI::IDCANCEL);

    UpdatesAvailableDialog available(QString::fromStdString(RtfToHtml(UpdateHeaderRtf("Tarvix 5"))), Entries());
    EXPECT_EQ(RunModal(available,
                       [&] {
                         EXPECT_TRUE(available.Header()->toPlainText().contains("There is an update to Tarvix 5"));
                         sizes["update_available" + suffix] =
                             SaveUiArtifact(available, "update_available" + suffix).size();
                         available.NoButton()->click();
                       }),
              UI::IDNO);

    const auto entries = Entries();
    UpdateListDialog list(entries);
    EXPECT_EQ(RunModal(list,
                       [&] {
                         EXPECT_EQ(list.Shown(), 0);
                         EXPECT_EQ(list.List()->topLevelItem(0)->text(1), "5.6.0.12");
                         EXPECT_TRUE(list.Description()->toPlainText().contains("Faster exports"));
                         list.ShowDescription(1);
                         EXPECT_EQ(list.Description()->toPlainText(), "New drivers");
                         list.ShowDescription(5);
                         EXPECT_EQ(list.Shown(), 1);
                         sizes["update_list" + suffix] = SaveUiArtifact(list, "update_list" + suffix).size();
                         list.EndDialog(UI::IDOK);
                       }),
              UI::IDOK);
  }
  // At 144 DPI each dialog is drawn half as large again as at 96 DPI.
  for (const char* name : {"update_check", "update_available", "update_list"}) {
    const QSize small = sizes[std::string(name) + "_96"];
    const QSize large = sizes[std::string(name) + "_144"];
    EXPECT_GE(large.width() * 100, small.width() * 135) << name;
    EXPECT_LE(large.width() * 100, small.width() * 165) << name;
    EXPECT_GE(large.height() * 100, small.height() * 135) << name;
    EXPECT_LE(large.height() * 100, small.height() * 165) << name;
  }
}

// The question answers to the keyboard as to the mouse. Each key goes where
// the focus is, as a real key press does; a list that opens is closed and
// counted.
TEST(UpdateDialogs, TheQuestionAnswersToItsKeys) {
  const struct {
    const char* what;
    bool listSeenFirst;  // the list button was clicked and the list closed again
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int result;
  } cases[] = {
      {"Return presses the default button", false, Qt::Key_Return, Qt::NoModifier, UI::IDYES},
      {"keypad Enter", false, Qt::Key_Enter, Qt::KeypadModifier, UI::IDYES},
      {"Return after the list was looked at", true, Qt::Key_Return, Qt::NoModifier, UI::IDYES},
      {"Yes's mnemonic", false, Qt::Key_Y, Qt::AltModifier, UI::IDYES},
      {"Yes's letter alone", true, Qt::Key_Y, Qt::NoModifier, UI::IDYES},
      {"No's mnemonic", false, Qt::Key_N, Qt::AltModifier, UI::IDNO},
      {"No's letter alone", false, Qt::Key_N, Qt::NoModifier, UI::IDNO},
      {"Escape", false, Qt::Key_Escape, Qt::NoModifier, UI::IDNO},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    UpdatesAvailableDialog available(QString::fromStdString(RtfToHtml(UpdateHeaderRtf("Tarvix 5"))), Entries());
    int listsShown = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* list = dynamic_cast<UpdateListDialog*>(w); list && list->isVisible()) {
          ++listsShown;
          list->EndDialog(UI::IDOK);
        }
      }
    });
    closer.start(5);
    EXPECT_EQ(RunModal(available,
                       [&] {
                         ASSERT_TRUE(ProcessEventsUntil([&] { return available.isActiveWindow(); }));
                         if (c.listSeenFirst) {
                           available.ListButton()->setFocus(Qt::MouseFocusReason);
                           available.ListButton()->click();
                           ASSERT_TRUE(ProcessEventsUntil([&] { return available.isActiveWindow(); }));
                         }
                         QWidget* focus = QApplication::focusWidget();
                         ASSERT_NE(focus, nullptr);
                         QTest::keyClick(focus, c.key, c.modifiers);
                         // A button's shortcut shows the button pressed for a moment first.
                         EXPECT_TRUE(ProcessEventsUntil([&] { return !available.isVisible(); }));
                       }),
              c.result);
    EXPECT_EQ(listsShown, c.listSeenFirst ? 1 : 0);
  }
}

TEST(UpdateDialogs, ClosingTheQuestionCountsAsNo) {
  UpdatesAvailableDialog available("<p>x</p>", Entries());
  EXPECT_EQ(RunModal(available, [&] { available.close(); }), UI::IDNO);
}

// A manual check through the real dialogs: the check runs on a worker, the
// question comes up with the service's update, and "No" ends it silently.
TEST_F(UpdaterTest, ManualCheckThroughTheDialogs) {
  auto installed = std::make_shared<FakeInstalledProducts>();
  installed->Add("Tarvix 5", "5.5.7");
  FreshetUpdate offered = MakeUpdate("Tarvix 5", 5, 6, 0, 0);
  offered.productId = kProductId;
  server.SetDefault({200, SoapReply(UpdateElement(offered))});
  FreshetSettings& process = ProcessSettings();
  process = settings;

  DialogPresenter presenter;
  UI::ScriptedMessageBoxes boxes;
  bool asked = false;
  // Answer the question when it shows.
  std::function<void()> answer = [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* q = dynamic_cast<UpdatesAvailableDialog*>(w); q && q->isVisible()) {
        asked = true;
        EXPECT_TRUE(q->Header()->toPlainText().contains("There is an update to Tarvix 5"));
        q->NoButton()->click();
        return;
      }
    }
    QTimer::singleShot(10, answer);
  };
  QTimer::singleShot(10, answer);
  UpdateCheckFlow(process, installed, presenter, true, false);
  EXPECT_TRUE(asked);
  EXPECT_TRUE(boxes.Shown().empty()) << "No ends with Cancel: no up-to-date message";

  process.updates.clear();  // a failed check keeps an earlier list
  server.SetDefault({500, "down"});
  UpdateCheckFlow(process, installed, presenter, true, false);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].text.toStdString(), kCheckFailedText);
  JoinOutstandingTasks();
  process = FreshetSettings{};
}

// A host's view of the shared library: loaded at run time into a program that
// runs a Qt application, it shows its own dialogs. A manual check offers the
// service's update; the list shows it, and "Yes" downloads it. A package that
// is not the maker's is refused with a message naming the update; the next
// check offers the update again, and the installer program installs the
// maker's package.
TEST_F(UpdaterTest, TheLibraryInstallsAnUpdateThroughItsDialogsOnlyWhenItsPackageVerifies) {
  TempDir marks;
  {
    OS::RegistryStore store(OS::ConfigHome() + "/Orvanta/registry.dat");
    ASSERT_TRUE(OS::RegisterInstalledProduct(store, "{TX5}", "Tarvix 5", "5.5.7"));
  }
  FreshetUpdate own = MakeUpdate("Tarvix 5", 5, 6, 0, 1, {{"u/core", "core.pkg"}});
  own.productId = kProductId;
  const std::string package = "#!/bin/sh\necho \"$*\" > '" + marks / "installed" + "'\n";

  void* library = ::dlopen(ORV_TEST_FRESHET_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << ::dlerror();
  const auto call = [library](const char* name) {
    void* f = ::dlsym(library, name);
    EXPECT_NE(f, nullptr) << name;
    return f;
  };
  using SetText = void (*)(const char*);
  using Flow = void (*)(void*, int);
  using Plain = void (*)();

  // One check as the program runs it, with the user's side polled on the GUI
  // thread while the library's dialogs run.
  struct Seen {
    bool progressShown = false;
    QString header;
    QStringList listed;
    QStringList messages;
  };
  // The user's side outlives each check: its last timer may fire after the
  // check returned.
  enum class Step { ShowList, CloseList, Answer, Done } step = Step::Done;
  bool flowRunning = false;
  Seen seen;
  std::function<void()> poll;
  const auto check = [&](const std::string& packageReply) {
    server.Queue({200, SoapReply(UpdateElement(own))});
    server.Queue({200, packageReply, "application/octet-stream"});
    reinterpret_cast<SetText>(call("Freshets_SetProduct"))(kProductId);
    reinterpret_cast<SetText>(call("Freshets_SetExtra"))("extra");
    reinterpret_cast<SetText>(call("Freshets_SetUpdateType"))("M");
    reinterpret_cast<SetText>(call("Freshets_OverrideSettingsIfAvailable"))(nullptr);
    reinterpret_cast<SetText>(call("Freshets_SetServerUrl"))(server.Url("/svc").c_str());
    reinterpret_cast<int (*)()>(call("Freshets_CleanInstallationDirectory"))();

    step = Step::ShowList;
    flowRunning = true;
    seen = {};
    const auto visibleDialog = [](const QString& button) -> QDialog* {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* d = qobject_cast<QDialog*>(w);
        if (d == nullptr || !d->isVisible()) continue;
        for (QPushButton* b : d->findChildren<QPushButton*>()) {
          if (b->text() == button) return d;
        }
      }
      return nullptr;
    };
    poll = [&, visibleDialog] {
      if (!flowRunning) return;
      QTimer::singleShot(10, poll);
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
          seen.messages << box->text();
          box->done(QMessageBox::Ok);
          return;
        }
      }
      if (step == Step::CloseList) {
        if (QDialog* list = visibleDialog("Close")) {
          for (QTreeWidget* tree : list->findChildren<QTreeWidget*>()) {
            for (int i = 0; i < tree->topLevelItemCount(); ++i) {
              seen.listed << tree->topLevelItem(i)->text(0) + " " + tree->topLevelItem(i)->text(1);
            }
          }
          step = Step::Answer;
          for (QPushButton* b : list->findChildren<QPushButton*>()) {
            if (b->text() == "Close") b->click();
          }
        }
        return;
      }
      if (step == Step::Done) return;
      QDialog* question = visibleDialog("&Yes");
      if (question == nullptr) return;
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && !w->findChildren<QProgressBar*>().isEmpty()) seen.progressShown = true;
      }
      if (auto* text = question->findChild<QTextBrowser*>()) seen.header = text->toPlainText();
      if (step == Step::ShowList) {
        step = Step::CloseList;
        for (QPushButton* b : question->findChildren<QPushButton*>()) {
          if (b->text().isEmpty()) b->click();  // the list button: opens the list modally
        }
      } else if (step == Step::Answer) {
        step = Step::Done;
        for (QPushButton* b : question->findChildren<QPushButton*>()) {
          if (b->text() == "&Yes") b->click();
        }
      }
    };
    QTimer::singleShot(10, poll);
    reinterpret_cast<Flow>(call("Freshets_DoUpdateCheckAndInstallationWithDialog"))(nullptr, 1);
    flowRunning = false;
    EXPECT_EQ(step, Step::Done);
    EXPECT_TRUE(seen.progressShown) << "the update-check dialog stood behind the question";
    EXPECT_TRUE(seen.header.contains("There is an update to Tarvix 5")) << seen.header.toStdString();
    EXPECT_EQ(seen.listed, QStringList{"Tarvix 5 5.6.0.1"});
    return seen;
  };

  const Seen refused = check(package);
  EXPECT_EQ(refused.messages,
            QStringList{"The update \"Tarvix 5\" 5.6.0.1 could not be verified and was not installed."});
  EXPECT_FALSE(OS::PathExists(Folder())) << "the download is removed";
  reinterpret_cast<Plain>(call("Freshets_Clear"))();

  const Seen installed = check(Signed(own, "core.pkg", package));
  EXPECT_TRUE(installed.messages.isEmpty()) << installed.messages.join(" | ").toStdString();
  // The installer program runs on by itself after the dialog and records
  // each installed update; the host cleans the working folder up.
  EXPECT_TRUE(ProcessEventsUntil([&] { return StatusCounter(Folder(), "InstallFile") == 1; }, 30000));
  EXPECT_EQ(reinterpret_cast<int (*)()>(call("Freshets_CleanInstallationDirectory"))(), 1);
  reinterpret_cast<Plain>(call("Freshets_Clear"))();
  ::dlclose(library);

  EXPECT_EQ(ReadText(marks / "installed"), "STARTAUTO=1\n") << "the installer program ran the package";
  EXPECT_FALSE(OS::PathExists(Folder()));
  ASSERT_EQ(server.Requests().size(), 4u);
  EXPECT_EQ(server.Requests()[3].requestLine, "POST /svc/Download HTTP/1.1");
}

}  // namespace
}  // namespace ORV::Test
