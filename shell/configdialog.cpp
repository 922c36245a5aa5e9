// The configuration dialog: edits every setting, previews the film in the
// "PREVIEW" control through the selected engine, plays the music as a test
// with its volume slider, and saves the settings on OK only.
#include "shell/configdialog.h"

#include <commctrl.h>

#include <memory>

#include "engines/EngineFactory.h"
#include "player/animreader.h"
#include "player/bgmplayer.h"
#include "player/displaypower.h"
#include "player/player.h"
#include "player/screenlayout.h"
#include "resources/resource.h"
#include "shell/configvalues.h"
#include "shell/filelocation.h"
#include "shell/host.h"
#include "shell/settings.h"

namespace {

constexpr UINT_PTR kPreviewTimerId = 1025;
constexpr UINT kPreviewPeriodMs = 33;
constexpr int kVolumeTickStep = 10;
constexpr const wchar_t* kPreviewClassName = L"PREVIEW";

HINSTANCE DialogInstance(HWND dialog) {
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
}

void SetTextFromTable(HWND dialog, int control, UINT stringId) {
    wchar_t text[kPathChars] = {};
    LoadStringW(DialogInstance(dialog), stringId, text, kPathChars);
    SetDlgItemTextW(dialog, control, text);
}

// The operations that describe one of an engine's two parameters.
struct ParameterOps {
    uint32_t (gengine::*count)();
    int (gengine::*name)(wchar_t*, uint32_t);
    int (gengine::*option)(uint32_t, wchar_t*, uint32_t);
};

constexpr ParameterOps kParameter1 = {&gengine::GetParam1Count, &gengine::GetParam1Name, &gengine::GetParam1Option};
constexpr ParameterOps kParameter2 = {&gengine::GetParam2Count, &gengine::GetParam2Name, &gengine::GetParam2Option};

// Fills one parameter list and its label from the engine's own operations
// and selects the stored option.
void FillParameterList(gengine& engine, const ParameterOps& ops, HWND label, HWND list, uint32_t stored) {
    wchar_t text[kPathChars] = {};
    (engine.*ops.name)(text, kPathChars);
    SetWindowTextW(label, text);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    const uint32_t count = (engine.*ops.count)();
    for (uint32_t i = 0; i < count; ++i) {
        text[0] = L'\0';
        (engine.*ops.option)(i, text, kPathChars);
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    // A stored index past this engine's options leaves the list without selection.
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(stored), 0);
}

uint32_t Selection(HWND list) {
    return static_cast<uint32_t>(SendMessageW(list, CB_GETCURSEL, 0, 0));
}

bool IsChecked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

RECT ClientArea(HWND window) {
    RECT area = {};
    GetClientRect(window, &area);
    return area;
}

}  // namespace

// The dialog's state: one per dialog, from WM_INITDIALOG until the dialog
// window goes away.
class configdialog {
public:
    configdialog();

    void Initialise(HWND dialog);
    void Command(HWND dialog, int control, int notification);
    void PreviewTick(HWND dialog);
    void PreviewPainted();
    void VolumeChanged();
    // The display went off or came back, as the player follows it.
    bool DisplayPowerChanged(HWND dialog, WPARAM event, LPARAM setting);
    // Stops the preview and the test playback before the controls go away.
    void Shutdown(HWND dialog);

private:
    void CreateEngineFor(uint32_t engineIndex);
    void FillParameterLists(HWND dialog);
    void ApplyParameters();
    void SwitchEngine(HWND dialog);
    void Finish(HWND dialog, bool save);
    void ChooseFile(HWND dialog, const FileChooser& chooser);
    void StartPreview(HWND dialog);
    void StopPreview(HWND dialog);
    void PlacePicture();
    void ToggleMusic(HWND dialog);
    void StopMusic(HWND dialog);
    bool DrawPreviewFrame();
    bool DisplayOff() const;
    void SuspendForDisplayOff(HWND dialog);
    void ResumeForDisplayOn(HWND dialog);

    settings settings_;
    std::unique_ptr<gengine> engine_;
    HWND preview_ = nullptr;
    HWND engineList_ = nullptr;
    HWND param1List_ = nullptr;
    HWND param2List_ = nullptr;
    HWND musicBox_ = nullptr;
    HWND frameRateBox_ = nullptr;
    HWND volumeSlider_ = nullptr;
    HWND layoutList_ = nullptr;
    HWND keepAspectBox_ = nullptr;
    // The engine draws on this child of the preview control: all of it, or
    // the film's proportions in its middle with black beside it.
    HWND picture_ = nullptr;
    bool previewing_ = false;
    bool musicPlaying_ = false;
    // The user picked an engine or a parameter: only then does OK store them.
    bool engineChoiceChanged_ = false;
    bool layoutChanged_ = false;
    bool keepAspectChanged_ = false;
    animreader reader_;
    uint32_t frameIndex_ = 0;
    uint32_t startTick_ = 0;
    std::unique_ptr<bgmplayer> music_;
    uint32_t musicStartTick_ = 0;
    std::unique_ptr<DisplayPowerNotice> displayNotice_;
};

namespace {
std::unique_ptr<configdialog> dialogState;
}

configdialog::configdialog() {
    INITCOMMONCONTROLSEX classes = {sizeof(classes), 0xFF};  // list view up to animation
    InitCommonControlsEx(&classes);
    settings_.Load();
}

void configdialog::Initialise(HWND dialog) {
    engineList_ = GetDlgItem(dialog, IDC_ENGINE);
    param1List_ = GetDlgItem(dialog, IDC_PARAM1);
    param2List_ = GetDlgItem(dialog, IDC_PARAM2);
    musicBox_ = GetDlgItem(dialog, IDC_BGM);
    frameRateBox_ = GetDlgItem(dialog, IDC_FRAMERATE);
    volumeSlider_ = GetDlgItem(dialog, IDC_VOLUME);
    preview_ = GetDlgItem(dialog, IDC_PREVIEW);
    layoutList_ = GetDlgItem(dialog, IDC_LAYOUT);
    keepAspectBox_ = GetDlgItem(dialog, IDC_KEEP_ASPECT);
    const RECT whole = ClientArea(preview_);
    picture_ = CreateWindowExW(0, kPreviewClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, whole.right, whole.bottom,
                               preview_, nullptr, DialogInstance(dialog), nullptr);

    StartGraphics();

    for (const wchar_t* name : {L"GDI", L"GDI+", L"Direct2D"}) {
        SendMessageW(engineList_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    CreateEngineFor(settings_.Engine);

    SetDlgItemTextW(dialog, IDC_FILM_PATH, settings_.NoxelFilePath);
    SetDlgItemTextW(dialog, IDC_WAV_PATH, settings_.WavFilePath);
    SetDlgItemTextW(dialog, IDC_BACKGROUND_PATH, settings_.BackGroundImageFilePath);
    SetFocus(GetDlgItem(dialog, IDC_FILM_PATH));

    FillParameterLists(dialog);

    SendMessageW(musicBox_, BM_SETCHECK, settings_.BGM ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageW(frameRateBox_, BM_SETCHECK, settings_.DisplayFrameRate ? BST_CHECKED : BST_UNCHECKED, 0);
    for (UINT entry : {IDS_LAYOUT_ACROSS, IDS_LAYOUT_EACH}) {
        wchar_t text[kPathChars] = {};
        LoadStringW(DialogInstance(dialog), entry, text, kPathChars);
        SendMessageW(layoutList_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    // Unknown stored values show what the saver does with them: the defaults.
    SendMessageW(layoutList_, CB_SETCURSEL, settings_.Layout == kLayoutEachScreen ? 1 : 0, 0);
    SendMessageW(keepAspectBox_, BM_SETCHECK, settings_.KeepAspect == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
    // The parameter labels are edit controls; without their margin their
    // text starts where the engine's label does.
    for (int label : {IDC_PARAM1_LABEL, IDC_PARAM2_LABEL}) {
        SendDlgItemMessageW(dialog, label, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    }

    SendMessageW(volumeSlider_, TBM_SETRANGE, FALSE, MAKELPARAM(0, kVolumeSliderMax));
    SendMessageW(volumeSlider_, TBM_SETTICFREQ, kVolumeTickStep, 0);
    SendMessageW(volumeSlider_, TBM_SETPOS, TRUE, SliderPositionFromVolume(settings_.Volume));

    ApplyParameters();

    UpdateWindow(preview_);
    UpdateWindow(dialog);
    ShowWindow(dialog, SW_SHOW);

    music_ = std::make_unique<bgmplayer>();
    displayNotice_ = std::make_unique<DisplayPowerNotice>(dialog);
}

// Makes the engine on the preview control. An unknown index or a Direct2D
// engine that cannot be made gives the GDI engine, and the engine list then
// names the engine that was really made. The stored choice stays as it is
// unless the user picks another: a remote session or a machine without
// Direct2D must not switch the saver off Direct2D where it works.
void configdialog::CreateEngineFor(uint32_t engineIndex) {
    engine_.reset();
    uint32_t created = kEngineGdi;
    engine_ = CreateEngine(engineIndex, picture_, &created);
    SendMessageW(engineList_, CB_SETCURSEL, created, 0);
}

void configdialog::FillParameterLists(HWND dialog) {
    FillParameterList(*engine_, kParameter1, GetDlgItem(dialog, IDC_PARAM1_LABEL), param1List_, settings_.Param1);
    FillParameterList(*engine_, kParameter2, GetDlgItem(dialog, IDC_PARAM2_LABEL), param2List_, settings_.Param2);
}

// A list without selection hands the engine -1, which every engine tolerates.
void configdialog::ApplyParameters() {
    engine_->SetParam1(Selection(param1List_));
    engine_->SetParam2(Selection(param2List_));
}

void configdialog::Command(HWND dialog, int control, int notification) {
    // The lists act only on a new selection: focus, drop-down and close-up
    // notifications must not recreate the engine or reset the parameters.
    switch (control) {
    case IDOK:
        Finish(dialog, true);
        return;
    case IDCANCEL:
        Finish(dialog, false);
        return;
    case IDC_PREVIEW_BUTTON:
        if (previewing_) {
            StopPreview(dialog);
        } else {
            StartPreview(dialog);
        }
        return;
    case IDC_MUSIC_BUTTON:
        ToggleMusic(dialog);
        return;
    case IDC_PARAM1:
        if (notification != CBN_SELCHANGE) return;
        engineChoiceChanged_ = true;
        engine_->SetParam1(Selection(param1List_));
        return;
    case IDC_PARAM2:
        if (notification != CBN_SELCHANGE) return;
        engineChoiceChanged_ = true;
        engine_->SetParam2(Selection(param2List_));
        return;
    case IDC_ENGINE:
        if (notification != CBN_SELCHANGE) return;
        engineChoiceChanged_ = true;
        SwitchEngine(dialog);
        return;
    case IDC_LAYOUT:
        if (notification == CBN_SELCHANGE) layoutChanged_ = true;
        return;
    case IDC_KEEP_ASPECT:
        if (notification != BN_CLICKED) return;
        keepAspectChanged_ = true;
        // A running preview starts again in the new shape.
        if (previewing_) {
            StopPreview(dialog);
            StartPreview(dialog);
        }
        return;
    }
    if (const FileChooser* chooser = FileChooserFor(control)) ChooseFile(dialog, *chooser);
}

// The new engine lists its own parameters, selected from the stored values:
// the same index means something else to another engine.
void configdialog::SwitchEngine(HWND dialog) {
    LRESULT selection = SendMessageW(engineList_, CB_GETCURSEL, 0, 0);
    CreateEngineFor(StoredSelection(selection, settings_.Engine));
    FillParameterLists(dialog);
    ApplyParameters();
}

void configdialog::Finish(HWND dialog, bool save) {
    if (previewing_) KillTimer(dialog, kPreviewTimerId);
    if (musicPlaying_) StopMusic(dialog);
    if (save) {
        GetDlgItemTextW(dialog, IDC_FILM_PATH, settings_.NoxelFilePath, kPathChars);
        GetDlgItemTextW(dialog, IDC_WAV_PATH, settings_.WavFilePath, kPathChars);
        GetDlgItemTextW(dialog, IDC_BACKGROUND_PATH, settings_.BackGroundImageFilePath, kPathChars);
        if (engineChoiceChanged_) {
            settings_.Engine = StoredSelection(SendMessageW(engineList_, CB_GETCURSEL, 0, 0), settings_.Engine);
            settings_.Param1 = StoredSelection(SendMessageW(param1List_, CB_GETCURSEL, 0, 0), settings_.Param1);
            settings_.Param2 = StoredSelection(SendMessageW(param2List_, CB_GETCURSEL, 0, 0), settings_.Param2);
        }
        if (layoutChanged_) {
            settings_.Layout = StoredSelection(SendMessageW(layoutList_, CB_GETCURSEL, 0, 0), settings_.Layout);
        }
        if (keepAspectChanged_) settings_.KeepAspect = IsChecked(keepAspectBox_) ? 1 : 0;
        settings_.BGM = SendMessageW(musicBox_, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
        settings_.DisplayFrameRate = SendMessageW(frameRateBox_, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
        settings_.Volume = VolumeFromSliderPosition(
            static_cast<int>(SendMessageW(volumeSlider_, TBM_GETPOS, 0, 0)));
        settings_.Save();
    }
    EndDialog(dialog, save ? IDOK : IDCANCEL);
}

void configdialog::ChooseFile(HWND dialog, const FileChooser& chooser) {
    HINSTANCE instance = DialogInstance(dialog);
    wchar_t title[kPathChars] = {};
    wchar_t pattern[kPathChars] = {};
    wchar_t extension[kPathChars] = {};
    LoadStringW(instance, chooser.title, title, kPathChars);
    LoadStringW(instance, chooser.pattern, pattern, kPathChars);
    LoadStringW(instance, chooser.defaultExtension, extension, kPathChars);

    // The chooser opens with the pattern in its name field.
    wchar_t file[kPathChars] = {};
    lstrcpynW(file, pattern, kPathChars);
    const std::wstring filter = ChooserFilter(pattern);
    OPENFILENAMEW request = ChooserRequest(instance, filter.c_str(), file, title, extension);
    if (GetOpenFileNameW(&request)) SetDlgItemTextW(dialog, chooser.target, file);
}

// The preview plays what the edit controls hold now, saved or not.
void configdialog::StartPreview(HWND dialog) {
    wchar_t film[kPathChars] = {};
    wchar_t background[kPathChars] = {};
    GetDlgItemTextW(dialog, IDC_FILM_PATH, film, kPathChars);
    GetDlgItemTextW(dialog, IDC_BACKGROUND_PATH, background, kPathChars);
    if (!reader_.Open(LocateFile(film).c_str())) {
        // A film refused after its file was opened would keep it open and
        // locked, and the next Open would lose the handle.
        reader_.Release();
        return;
    }
    PlacePicture();
    if (!engine_->LoadBackground(LocateFile(background).c_str())) engine_->CaptureBackground();
    startTick_ = GetTickCount();
    frameIndex_ = 0;
    if (!DisplayOff()) SetTimer(dialog, kPreviewTimerId, kPreviewPeriodMs, nullptr);
    previewing_ = true;
    SetTextFromTable(dialog, IDC_PREVIEW_BUTTON, IDS_PREVIEW_STOP);
}

// The last picture stays in the control; the frame buffer is kept for the
// next preview.
void configdialog::StopPreview(HWND dialog) {
    KillTimer(dialog, kPreviewTimerId);
    SetTextFromTable(dialog, IDC_PREVIEW_BUTTON, IDS_PREVIEW_START);
    reader_.Release();
    previewing_ = false;
}

// The picture takes the whole control, or with "keep proportions" the
// film's shape in its middle. An engine is bound to its window's size, so a
// picture that changes size gets a new one.
void configdialog::PlacePicture() {
    const RECT whole = ClientArea(preview_);
    ScreenRect area = {0, 0, whole.right, whole.bottom};
    if (IsChecked(keepAspectBox_)) area = FitProportions(area, reader_.Width(), reader_.Height());
    RECT now = ClientArea(picture_);
    MapWindowPoints(picture_, preview_, reinterpret_cast<POINT*>(&now), 2);
    if (area == ScreenRect{now.left, now.top, now.right, now.bottom}) return;
    MoveWindow(picture_, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    InvalidateRect(preview_, nullptr, TRUE);
    CreateEngineFor(StoredSelection(SendMessageW(engineList_, CB_GETCURSEL, 0, 0), settings_.Engine));
    ApplyParameters();
}

void configdialog::PreviewTick(HWND dialog) {
    if (!previewing_ || DisplayOff()) return;
    // A film without a single drawable frame stops its preview; the dialog
    // and its unsaved choices stay.
    if (!DrawPreviewFrame()) StopPreview(dialog);
}

// The engine draws only what changed between two frames; whatever the system
// erased or asked to repaint is drawn whole by the next tick.
void configdialog::PreviewPainted() {
    if (previewing_ && engine_) engine_->InvalidatePicture();
}

bool configdialog::DrawPreviewFrame() {
    frameIndex_ = FrameDue(startTick_, GetTickCount());
    EngineFrame* frame = reader_.ReadFrame(frameIndex_, engine_.get());
    if (!frame) {
        frameIndex_ = 0;
        frame = reader_.ReadFrame(0, engine_.get());
        if (!frame) return false;
        startTick_ = GetTickCount();
    }
    engine_->BeginDraw();
    engine_->DrawBackground();
    engine_->DrawFrame(frame);
    engine_->EndDraw();
    UpdateWindow(picture_);
    engine_->DeleteFrame(frame);
    ++frameIndex_;
    return true;
}

void configdialog::ToggleMusic(HWND dialog) {
    if (musicPlaying_) {
        StopMusic(dialog);
        return;
    }
    wchar_t wav[kPathChars] = {};
    GetDlgItemTextW(dialog, IDC_WAV_PATH, wav, kPathChars);
    if (!music_->Load(LocateFile(wav).c_str())) return;
    music_->Play();
    musicStartTick_ = GetTickCount();
    SetTextFromTable(dialog, IDC_MUSIC_BUTTON, IDS_MUSIC_STOP);
    musicPlaying_ = true;
}

void configdialog::StopMusic(HWND dialog) {
    music_->Halt();
    SetTextFromTable(dialog, IDC_MUSIC_BUTTON, IDS_MUSIC_START);
    musicPlaying_ = false;
}

// The stored Volume changes only at OK; the slider sets the test playback's.
void configdialog::VolumeChanged() {
    if (!musicPlaying_ || !music_->Device()) return;
    int position = static_cast<int>(SendMessageW(volumeSlider_, TBM_GETPOS, 0, 0));
    waveOutSetVolume(music_->Device(), WaveVolumeFromSliderPosition(position));
}

bool configdialog::DisplayPowerChanged(HWND dialog, WPARAM event, LPARAM setting) {
    return displayNotice_ && displayNotice_->Follow(event, setting, [&](bool off) {
        if (off) SuspendForDisplayOff(dialog);
        else ResumeForDisplayOn(dialog);
    });
}

bool configdialog::DisplayOff() const { return displayNotice_ && displayNotice_->off(); }

// As in the screen saver: no preview timer, and the test playback lets go
// of its output device, which would keep the system awake.
void configdialog::SuspendForDisplayOff(HWND dialog) {
    if (previewing_) KillTimer(dialog, kPreviewTimerId);
    music_->CloseDevice();
}

// The preview goes on at the frame its clock has reached, drawn whole; the
// test playback at the moment it has reached, if it is not over.
void configdialog::ResumeForDisplayOn(HWND dialog) {
    const uint32_t now = GetTickCount();
    if (previewing_) {
        startTick_ = ResumedStartTick(startTick_, now, reader_.FrameCount());
        engine_->InvalidatePicture();
        SetTimer(dialog, kPreviewTimerId, kPreviewPeriodMs, nullptr);
    }
    if (musicPlaying_) {
        music_->PlayFrom(now - musicStartTick_);
        VolumeChanged();
    }
}

void configdialog::Shutdown(HWND dialog) {
    displayNotice_.reset();
    if (previewing_) StopPreview(dialog);
    if (musicPlaying_) StopMusic(dialog);
}

namespace {

// The control holding the picture is black where the picture leaves it
// bare; the picture itself shows the desktop colour until an engine draws.
LRESULT ErasePreview(HWND window, HDC dc) {
    if (!GetWindow(window, GW_CHILD)) return DefWindowProcW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const RECT area = ClientArea(window);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    return 1;
}

}  // namespace

bool RegisterPreviewClass(HINSTANCE instance) {
    WNDCLASSEXW previewClass = {};
    previewClass.cbSize = sizeof(previewClass);
    previewClass.lpfnWndProc = PreviewWndProc;
    previewClass.hInstance = instance;
    // The desktop colour shows until an engine draws.
    previewClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BACKGROUND + 1);
    previewClass.lpszClassName = kPreviewClassName;
    RegisterClassExW(&previewClass);
    return true;
}

LRESULT CALLBACK PreviewWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER: return 0;
    case WM_PAINT: if (dialogState) dialogState->PreviewPainted(); break;
    case WM_ERASEBKGND: return ErasePreview(window, reinterpret_cast<HDC>(wParam));
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

namespace {

LRESULT CALLBACK HandleDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        dialogState = std::make_unique<configdialog>();
        dialogState->Initialise(dialog);
        return 0;
    case WM_COMMAND:
        if (dialogState) dialogState->Command(dialog, LOWORD(wParam), HIWORD(wParam));
        return 1;
    case WM_TIMER:
        if (dialogState) dialogState->PreviewTick(dialog);
        return 0;
    case WM_POWERBROADCAST:
        return dialogState && dialogState->DisplayPowerChanged(dialog, wParam, lParam);
    case WM_HSCROLL:
        if (dialogState && reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_VOLUME)) {
            dialogState->VolumeChanged();
        }
        return 0;
    case WM_DESTROY:
        // The engine is bound to the preview control, which still exists here.
        if (dialogState) dialogState->Shutdown(dialog);
        dialogState.reset();
        return 0;
    }
    return 0;
}

}  // namespace

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return GuardedMessage(HandleDialogMessage, dialog, message, wParam, lParam);
}
