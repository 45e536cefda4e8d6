// The GPS dialog: construction, window creation, initialisation and the idle state.
#include "orbitpane/win32/gpsuidlg.h"

#include "framework/contracts/ids.h"
#include "framework/skin/skin.h"

#include "orbitpane/win32/orbitpaneimpl.h"
#include "platform/paths.h"
#include "platform/power/sleep_watcher.h"
#include "platform/text.h"
#include "platform/ui/controls.h"
#include "platform/ui/kit.h"
#include "platform/ui/templates/gps.h"

namespace ids = ui::templates::gps;

namespace {

constexpr int kColumnItemWidth = 95;
constexpr int kColumnValueMargin = 60;

}  // namespace

CGPSUIDlg::CGPSUIDlg(orbitpane::PluginContext& context)
    : Dialog(ui::templates::GpsDialog()),
      context_(context),
      session_(cardCommands_, *this, trackLog_, context.Clock()) {
    OnClicked(ids::kStart, [this] { OnBnClickedButtonStart(); });
    OnClicked(ids::kStop, [this] { OnBnClickedButtonStop(); });
    OnSelectionChanged(ids::kLanguage, [this] { OnLanguageChanged(); });
    WireMonitoring();
    WireMapLink();
    WireSkyView();
    OnClicked(ids::kSetting, [this] { OnBnClickedButtonSetting(); });
    OnClicked(ids::kAutoRun, [this] { OnAutoRunClicked(); });
    OnClicked(ids::kRun, [this] { OnRunProgram(); });
    OnClicked(ids::kBrowse, [this] { OnBrowseProgram(); });
    OnMessage(WM_POWERBROADCAST, [this](ui::WParam event, ui::LParam data) {
        return OnPowerBroadcast(static_cast<unsigned>(event), data);
    });
    pathEdit_.SetOwnerDlg(this);
    pathEdit_.Bind(*this, ids::kPath);

    languageTables_ = orbitpane::LoadLanguageTable(orbitpane::AppDirectory());
    std::wstring active =
        orbitpane::ReadIniString(orbitpane::kLanguageSection, L"active", orbitpane::kRunInfoFile);
    context_.SetLanguageFile(orbitpane::LanguageFileFor(active));
}

CGPSUIDlg::~CGPSUIDlg() {
    ForgetMapLinkAnswers();
    DestroyWindow();
    StopWorkers();
}

void CGPSUIDlg::Trace(const char* message, const char* file, int line) {
    context_.Trace(framework::kTraceInfo, "CGPSUIDlg", file, line, message);
}

void CGPSUIDlg::TraceDebug(const char* message, const char* file, int line) {
    context_.Trace(framework::kTraceDebug, "CGPSUIDlg", file, line, message);
}

bool CGPSUIDlg::ReadAppDirectory() {
    std::string directory = orbitpane::AppDirectory();
    if (directory.empty()) return false;
    appDirectory_ = directory;
    configFile_.SetAppDirectory(directory);
    return true;
}

int CGPSUIDlg::OnCreate() {
    ReadAppDirectory();

    const std::string skinFile = platform::ResolveNoCase(appDirectory_, "skin/classic.smf");
    skin::LoadSkinFile(platform::Utf8ToWide(skinFile));
    skin::SetFrameSkin(L"CommFrame");
    skin::SkinWindow(Handle());
    skin::SetWindowSkinType(Handle(), L"DialogMinClose");

    if (auto* ui = context_.LookUp<framework::IDeviceMgrUI>(framework::kDeviceMgrUiId,
                                                            framework::kDeviceMgrUiFlag)) {
        ui->Release();
    }
    RegisterWithDeviceManager();
    StartPowerEvents();
    if (auto* multi = context_.LookUp<framework::IMultiDeviceMgr>(framework::kDeviceMgrId,
                                                                  framework::kMultiDeviceMgrFlag)) {
        multi->Refresh();
        multi->Release();
    }
    return 0;
}

void CGPSUIDlg::RegisterWithDeviceManager() {
    auto* manager =
        context_.LookUp<framework::IDeviceMgr>(framework::kDeviceMgrId, framework::kDeviceMgrFlag);
    if (!manager) return;
    {
        std::lock_guard<std::mutex> lock(sinkMutex_);
        acceptingEvents_ = true;
    }
    manager->AddEventSink(this);
    manager->Release();
}

void CGPSUIDlg::UnregisterFromDeviceManager() {
    if (auto* manager = context_.LookUp<framework::IDeviceMgr>(framework::kDeviceMgrId,
                                                               framework::kDeviceMgrFlag)) {
        manager->RemoveEventSink(this);
        manager->Release();
    }
    // An event already on its way finishes before the window goes; later ones are refused.
    std::lock_guard<std::mutex> lock(sinkMutex_);
    acceptingEvents_ = false;
}

void CGPSUIDlg::OnDestroy() {
    // However the window goes (closed, ended, destroyed with its plug-in or the program), a
    // receiver it started is not left running on the card.
    session_.WindowGoing();
    StopPowerEvents();
    UnregisterFromDeviceManager();
    // No session outlives the window: the plug-in object's sink goes with it, whatever state
    // the window closed in.
    if (COrbitpaneImpl* card = pluginObject_) card->UnregisterDeviceEvents();
    // The GPS port polling belongs to this window; a later window starts its own.
    gpsThread_.StopAndJoin();
    if (skyDialog_) skyDialog_->DestroyWindow();
}

int CGPSUIDlg::OnDeviceChanged(void*, framework::IDeviceInfo*) {
    return 0;
}

void CGPSUIDlg::SetUpListView() {
    ui::ListView list = List(ids::kList);
    list.SetExtendedStyle(list.ExtendedStyle() | ui::kListGridLines | ui::kListFullRowSelect);
    while (list.ColumnCount() > 0) list.DeleteColumn(0);
    list.InsertColumn(0, Text(L"IDS_LST_ITEM"), kColumnItemWidth);
    list.InsertColumn(1, Text(L"IDS_LST_CONTEXT"), ItemRect(ids::kList).width - kColumnValueMargin);
}

bool CGPSUIDlg::OnInitDialog() {
    FillLanguageList();
    SetTitle(Text(L"IDS_TITLE_GPSAPP"));
    SetUpListView();
    ui::ListView list = List(ids::kList);
    list.DeleteAllItems();
    for (int row = 0; row < kListRows; ++row) list.InsertItem(row, Text(kListRowKeys[row]));
    for (int i = 0; i < orbitpane::kFixRows; ++i) {
        list.InsertItem(kListRows + i, Text(orbitpane::kFixRowKeys[i]));
    }
    ShowStatus(L"IDS_STATIC_QUER_DataCard");

    if (!ReadAppDirectory()) {
        ShowStatus(L"IDS_STATIC_ERRORPATH");
        return false;
    }
    configFile_.Load(gpsConfig_);
    cardWatch_.Configure(gpsConfig_.isAGPSSupported != 0, gpsConfig_.strType);
    ResetToIdle();
    if (IsAutoRunEnabled()) CheckItem(ids::kAutoRun, true);

    StartPcUiThread();

    SetIcon(ui::Icon{ui::templates::kGpsIcon}, true);
    SetIcon(ui::Icon{ui::templates::kGpsIcon}, false);
    AddTrackMenu();
    AddSkyMenu();
    ApplyTexts();
    ShowItem(ids::kPath, false);
    ShowItem(ids::kRun, false);
    ShowItem(ids::kBrowse, false);

    Combo(ids::kMapSite).ResetContent();
    FillMapSites();
    return true;
}

// The texts of the buttons and labels (the list view and the status line have their own).
void CGPSUIDlg::ApplyTexts() {
    static const struct {
        int id;
        const wchar_t* key;
    } kTexts[] = {
        {ids::kGpsTypeLabel, L"IDS_STATIC_CURGPSType"},
        {ids::kStart, L"IDS_BTN_START"},
        {ids::kStop, L"IDS_BTN_STOP"},
        {ids::kSetting, L"IDS_BTN_SET"},
        {ids::kAutoRun, L"IDS_STATIC_CHECK_AUTORUN"},
        {ids::kNoDataLabel, L"IDS_STATIC_NODATA"},
        {ids::kSecondsUnit, L"IDS_STATIC_SEC"},
        {ids::kRun, L"IDS_BTN_RUN"},
        {ids::kOpenMap, L"IDS_BTN_OPEN"},
    };
    for (const auto& t : kTexts) SetItemText(t.id, Text(t.key));
    ApplyTrackMenuTexts();
    ApplyKitTexts();
}

// What the window kit writes itself (message boxes' buttons, the terminal's window menu and
// file dialog) speaks the dialog's language too.
void CGPSUIDlg::ApplyKitTexts() {
    ui::OwnTexts own;
    const struct {
        std::wstring* text;
        const wchar_t* key;
    } kKitTexts[] = {
        {&own.close, L"IDS_MENU_CLOSE"},   {&own.ok, L"IDS_BTN_OK"},
        {&own.cancel, L"IDS_CANCEL"},      {&own.yes, L"IDS_BTN_YES"},
        {&own.no, L"IDS_BTN_NO"},          {&own.open, L"IDS_FILE_OPEN"},
        {&own.folder, L"IDS_FILE_FOLDER"}, {&own.lookIn, L"IDS_FILE_LOOKIN"},
        {&own.fileName, L"IDS_FILE_NAME"}, {&own.type, L"IDS_FILE_TYPE"},
    };
    for (const auto& t : kKitTexts) {
        // A language file without the key keeps the kit's English.
        std::wstring text = Text(t.key);
        if (!text.empty()) *t.text = text;
    }
    ui::SetOwnTexts(own);
}

void CGPSUIDlg::ResetToIdle() {
    session_.Idle();
}

void CGPSUIDlg::FocusRule() {
    SetFocus(session_.Running() ? ids::kStop : ids::kStart);
}

void CGPSUIDlg::ShowStatus(const std::wstring& key, const std::wstring& detail) {
    std::wstring text = Text(key.c_str());
    if (!detail.empty()) text += L" " + detail;
    SetItemText(ids::kStatus, text);
    statusTextId_ = key;
    statusDetail_ = detail;
}

void CGPSUIDlg::ShowPassingStatus(const std::wstring& key, const std::wstring& detail) {
    ShowStatus(key, detail);
    session_.PassingStatusShown(key);
}

bool CGPSUIDlg::SaveProgramPath(const std::wstring& path) {
    return configFile_.SaveProgramPath(gpsConfig_, platform::WideToUtf8(path));
}

std::wstring CGPSUIDlg::GetSavedProgramPath() const {
    return platform::Utf8ToWide(gpsConfig_.strPath);
}
