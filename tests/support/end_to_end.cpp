#include "support/end_to_end.h"

#include "base/files.h"
#include "base/strings.h"

namespace mf::test {

std::string UpdateList(const std::string& entries) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<update>\r\n" + entries + "</update>\r\n";
}

std::string MarkingMainProgram(const std::wstring& marker) {
    return "@echo started> \"" + Narrow(marker) + "\"\r\n";
}

Release SmallRelease(const std::wstring& marker) {
    return {{L"main.cmd", MarkingMainProgram(marker)},
            {L"data\\bank1.dat", std::string(70000, 'q')},
            {L"data\\sub\\bank2.dat", "second bank\r\n"}};
}

std::string ReleaseList(const Release& release, const std::map<std::wstring, std::string>& keys) {
    std::string entries;
    for (const auto& [path, content] : release) {
        const auto key = keys.find(path);
        entries += "<file path=\"" + Narrow(path, CodePage::Utf8) + "\" ver=\"" +
                   (key != keys.end() ? key->second : std::to_string(content.size())) + "\"/>\r\n";
    }
    return UpdateList(entries);
}

EngineIni ProductIni(const ProductSite& site) {
    EngineIni ini;
    ini.Set(L"Mirefold", L"Log", L"inst.log").Set(L"Mirefold", L"ShowWhenCheck", 0);
    ini.Set(L"APPLICATION", L"Name", site.name()).Set(L"APPLICATION", L"Application", L"main.cmd");
    ini.Set(L"UPDATEINFO", L"ListURL", Widen(site.Url(L"update.xml")))
        .Set(L"UPDATEINFO", L"MainListURL", Widen(site.Url(L"main.xml")));
    return ini;
}

EngineIni OfflineIni(const ProductSite& site) {
    EngineIni ini = ProductIni(site);
    ini.Remove(L"Mirefold", L"ShowWhenCheck").Set(L"Mirefold", L"Mode", L"emptytemp");
    ini.Set(L"UPDATEINFO", L"ListURL", Widen(site.UnreachableUrl(L"update.xml"))).Remove(L"UPDATEINFO", L"MainListURL");
    return ini;
}

std::string EndToEndTest::Log() const {
    return ReadFileBytes(Folder() + L"inst.log");
}

void EndToEndTest::Publish(const std::wstring& file, const std::string& bytes) const {
    ASSERT_TRUE(site_.Publish(file, bytes)) << Narrow(file);
}

void EndToEndTest::PublishRelease(const Release& release, const std::map<std::wstring, std::string>& keys) const {
    for (const auto& [path, content] : release) Publish(path, content);
    Publish(L"update.xml", ReleaseList(release, keys));
    Publish(L"main.xml", UpdateList());
}

void EndToEndTest::ExpectInstalled(const Release& release) const {
    for (const auto& [path, content] : release)
        EXPECT_TRUE(ReadFileBytes(Folder() + path) == content) << Narrow(path, CodePage::Utf8);
}

bool EndToEndTest::MainProgramStarted() const {
    return WaitUntil([&] { return FileExists(marker_); }, std::chrono::seconds(20));
}

void EndToEndTest::Brand(const EngineIni& config) const {
    ASSERT_TRUE(BrandEngine(config, exe_));
}

EngineRun EndToEndTest::Run(const std::wstring& arguments, std::chrono::milliseconds timeout) const {
    return RunEngine(exe_, arguments, name(), timeout);
}

EngineRun EndToEndTest::RunFor(const TestHost& host, const std::wstring& mode, const std::wstring& after,
                               std::chrono::milliseconds timeout) const {
    return Run(mode + L" " + host.HandleArgument() + (after.empty() ? L"" : L" " + after), timeout);
}

ChildProcess EndToEndTest::Start(const std::wstring& arguments) const {
    return ChildProcess::Start(L"\"" + exe_ + L"\" " + arguments);
}

AnsweredRun EndToEndTest::RunAnswering(const std::wstring& arguments, std::optional<int> button,
                                       std::chrono::milliseconds boxTimeout,
                                       std::chrono::milliseconds runTimeout) const {
    ChildProcess engine = Start(arguments);
    EXPECT_TRUE(engine.started());
    AnsweredRun run;
    if (button) run.text = AnswerMessageBox(engine.id(), *button, boxTimeout);
    run.ended = engine.Wait(runTimeout);
    if (!run.ended) engine.Kill();
    run.exitCode = engine.ExitCode();
    return run;
}

}  // namespace mf::test
