#pragma once

// The two windows offscreen with the outside world replaced: the main window on Wednesday
// 9 December 2026 with doubles for its services, and the About window of version 1.1.8 over a
// stand-in main window.
#include "download/download_doubles.h"
#include "storage/storage_doubles.h"
#include "support/doubles.h"
#include "support/qt_printers.h"
#include "ui/about_window.h"
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QTest>

#include <functional>
#include <memory>

namespace lectoria::testing_support {

class MainWindowFixture : public ::testing::Test {
public:
    lectoria::testing::FakeStore store;
    FixedClock clock{QDate(2026, 12, 9)};
    RecordingMessages messages;
    lectoria::testing::FakePicker picker;
    lectoria::testing::FakeDrives drives;
    FakeFiles files;
    RecordingTransfer transfer;
    SelectionState state;
    std::unique_ptr<frmLctr> window;

    void Open(FolderLocks* locks = nullptr) {
        window = std::make_unique<frmLctr>(
            state,
            MainWindowServices{store, clock, picker, drives, files, transfer,
                               ArchiveSettings{"http://m.test/fr/divers/pdf/", "http://v.test/"}, &messages, locks});
        window->show();
    }
    template <typename T = QWidget> T* Find(const char* name) {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
};

class AboutFixture : public ::testing::Test {
public:
    SelectionState state;
    AboutSettings settings;
    RecordingOpener opener;
    RecordingMessages sink;
    QWidget mainWindow;
    QPointer<frmAbout> about;

    void SetUp() override {
        state.AppVersion = QStringLiteral("1.1.8");
        settings.author = {QStringLiteral("auteur.test"), QStringLiteral("moi@auteur.test"),
                           QStringLiteral("http://auteur.test/court")};
        settings.fetch.timeout = std::chrono::seconds(5);
        mainWindow.setGeometry(200, 133, 400, 300); // outer corner at 3000, 2000 twips
        mainWindow.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow));
    }
    void TearDown() override { delete about.data(); }

    void Open() {
        about = frmAbout::Open(&mainWindow, state, opener, sink, settings);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(about.data()));
    }
    template <typename T = QWidget> T* Control(const char* name) {
        return about->findChild<T*>(QString::fromLatin1(name));
    }
    // Runs events, deferred deletions included, until the About window is gone or the bound passes.
    bool WaitUntilClosed() {
        const QDeadlineTimer bound(5000);
        while (!about.isNull() && !bound.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        return about.isNull();
    }
};

} // namespace lectoria::testing_support
