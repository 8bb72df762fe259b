// Runs that scripts and hosts start, with the real engine: they end on
// their own whatever goes wrong, and a second engine for the same product
// neither collides with the first nor reports a false count.
#include <gtest/gtest.h>

#include <thread>

#include "app/update_app.h"
#include "base/strings.h"
#include "engine/product_guard.h"
#include "support/end_to_end.h"
#include "support/test_servers.h"

namespace mf {
namespace {

using namespace std::chrono_literals;

using test::UpdateList;

class UnattendedRun : public test::EndToEndTest {
protected:
    UnattendedRun() : EndToEndTest(L"check-e2e") {}

    // `mirefold`: more lines of section Mirefold.
    void Brand(const std::vector<std::wstring>& mirefold = {}) {
        test::EngineIni ini = ProductIni();
        ini.Set(L"Mirefold", L"QuickCheck", 0).Lines(L"Mirefold", mirefold);
        ini.Remove(L"APPLICATION", L"Application");
        ini.Set(L"UPDATEINFO", L"FileMd5HandleUrl", test::ServerUrl(L"checkservice") + L"md5");
        EndToEndTest::Brand(ini);
    }
    // The engine's own time-out is far shorter: a run still going after
    // this one waits for an answer nobody gives (and is killed).
    test::EngineRun Check() { return Run(L"checkforupdates", 40s); }
};

TEST_F(UnattendedRun, CheckForUpdatesNeverWaitsForAMessageBox) {
    Publish(L"main.xml", UpdateList("<file path=\"m.dll\" ver=\"1\"/>\r\n"));
    struct Case {
        const char* name;
        const wchar_t* mirefold;  // an extra line of section Mirefold
        std::string productList;
        const char* logged;
        long long exitCode;
    } cases[] = {
        // A broken proxy setting is reported at start-up in a box; no request
        // goes around the proxy it names, so the check fails.
        {"proxy setting", L"Proxy=no-port-here", UpdateList("<file path=\"a.dll\" ver=\"1\"/>\r\n"),
         "The proxy set error! [not shown: nobody to answer in this run]", 0},
        // An entity in the list once made the list reader report in a box.
        {"entity in the list", L"",
         "<?xml version=\"1.0\"?>\r\n<!DOCTYPE update [<!ENTITY e \"x\">]>\r\n<update><file path=\"&e;.dll\" "
         "ver=\"1\"/></update>",
         "error when download the list file.", 0},
    };
    int round = 0;
    for (const Case& c : cases) {
        // A fresh copy each time: Wine may hold the last one a moment after
        // it ended.
        exe_ = folder_ / (L"mirefold" + std::to_wstring(++round) + L".exe");
        Publish(L"update.xml", c.productList);
        Brand({c.mirefold});
        const test::EngineRun run = Check();
        EXPECT_NE(run.exitCode, -1) << c.name << ": the engine did not end on its own\n" << run.log;
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << "\n" << run.log;
        EXPECT_NE(run.log.find(c.logged), std::string::npos) << c.name << "\n" << run.log;
    }
}

TEST_F(UnattendedRun, SecondEngineForTheSameProductWaitsOrEnds) {
    Publish(L"update.xml", UpdateList("<file path=\"a.dll\" ver=\"1\"/>\r\n<file path=\"b.dll\" ver=\"1\"/>\r\n"));
    Publish(L"main.xml", UpdateList("<file path=\"m.dll\" ver=\"1\"/>\r\n"));
    Brand();
    // This test plays the first engine: a thread of it holds the product's
    // guard (a mutex is released by the thread that owns it).
    CreateFolderTree(Folder());
    UniqueHandle owned(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle letGo(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const std::wstring guardName = ProductGuardName(Folder());
    std::thread first([&] {
        UniqueHandle guard(::CreateMutexW(nullptr, TRUE, guardName.c_str()));
        ::SetEvent(owned.get());
        ::WaitForSingleObject(letGo.get(), INFINITE);
        ::ReleaseMutex(guard.get());
    });
    struct JoinAtEnd {
        std::thread& thread;
        HANDLE letGo;
        ~JoinAtEnd() {
            ::SetEvent(letGo);
            if (thread.joinable()) thread.join();
        }
    } joinAtEnd{first, letGo.get()};
    ASSERT_EQ(::WaitForSingleObject(owned.get(), 10000), WAIT_OBJECT_0);

    test::EngineRun run = Check();
    EXPECT_EQ(run.exitCode, static_cast<long long>(static_cast<DWORD>(kExitProductBusy))) << run.log;
    EXPECT_NE(run.log.find("Another engine is running for"), std::string::npos) << run.log;
    EXPECT_EQ(run.log.find("Found "), std::string::npos) << run.log;  // it did not check

    // The first engine ends while the second waits: the second goes on.
    std::thread release([&] {
        std::this_thread::sleep_for(1s);
        ::SetEvent(letGo.get());
    });
    run = Check();
    release.join();
    EXPECT_EQ(run.exitCode, 3) << run.log;
}

}  // namespace
}  // namespace mf
