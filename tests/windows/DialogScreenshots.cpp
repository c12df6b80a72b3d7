// Shows the preferences dialog with sample settings and saves a picture of
// each page (BMP, from the screen) into the folder given: the pictures in
// docs/ are made with it under Wine (tools/dialog-screenshots.sh).
#include "http/Server.h"
#include "settings/Settings.h"
#include "ui/win32/ConfigDialog.h"
#include "ui/win32/DialogResources.h"
#include "ui/win32/DialogServices.h"

#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace ui::win32;

class SampleServices final : public DialogServices {
public:
    explicit SampleServices(host::Settings& settings) : settings_(settings) {}
    host::SettingsData settings() const override { return settings_.snapshot(); }
    webapp::FormMessages saveForm(const webapp::SettingsForm& form) override
    {
        return settings_.update([&](host::SettingsData& data) { return webapp::takeForm(form, data); });
    }
    bool serverRunning() const override { return true; }
    void startServer() override {}
    void stopServer() override {}
    void applyToServer() override {}
    bool indexing() const override { return false; }
    std::string indexStatus() const override { return "Last index of 1200 files took \n1 hours 2 minutes 5 seconds"; }
    void reindex() override {}
    void notify(HWND) override {}
    void notifyActivity(HWND) override {}

private:
    host::Settings& settings_;
};

void pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

/// The window as it shows on the screen, as a 24-bit BMP file.
bool save(HWND window, const std::filesystem::path& file)
{
    RECT area{};
    GetWindowRect(window, &area);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    const int stride = (width * 3 + 3) / 4 * 4;
    std::vector<char> pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
    GetDIBits(memory, picture, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&header),
              DIB_RGB_COLORS);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
    fileHeader.bfSize = fileHeader.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&fileHeader), sizeof fileHeader);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return out.good();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::filesystem::path folder = argv[1];
    host::Settings settings((std::filesystem::temp_directory_path() / "tunelet-dialog-shots.ini").string());
    settings.update([](host::SettingsData& data) {
        data.requirePassword = true;
        data.username = "admin";
        data.password = "secret";
        data.filterIPs = true;
        data.allowedIPs = "127.0.0.1\r\n192.168.0.*\r\n192.168.1.*";
        data.blockedIPs = "192.168.1.13";
        data.sharedDirs = {"C:\\Music", "D:\\Audio Books", "E:"};
    });
    SampleServices services(settings);
    ConfigDialog dialog(GetModuleHandleW(nullptr), nullptr, services);
    HWND window = dialog.create();
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOW);
    auto* activity = new http::ActivityList{{"192.168.1.20:50112", "/status.xml"}, {"192.168.1.31:40020", "/"}};
    if (!PostMessageW(dialog.page(2), activityPublished, 0, reinterpret_cast<LPARAM>(activity)))
        delete activity;
    const char* names[] = {"server", "security", "activity", "library", "about"};
    for (int page = 0; page < 5; ++page) {
        LVITEMW selected{};
        selected.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        selected.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendDlgItemMessageW(window, IDC_PAGE_LIST, LVM_SETITEMSTATE, static_cast<WPARAM>(page),
                            reinterpret_cast<LPARAM>(&selected));
        for (int round = 0; round < 10; ++round) {
            pump();
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
            Sleep(50);
        }
        if (!save(window, folder / (std::string("windows-dialog-") + names[page] + ".bmp")))
            return 1;
    }
    return 0;
}
