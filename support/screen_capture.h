// Copies parts of the screen into a 24-bit picture and writes it as a .bmp
// file: the generated screenshots of the README and docs/ (Win32 only).
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "support/unique_resource.h"

class ScreenCanvas {
public:
    ScreenCanvas(int width, int height) : width_(width) {
        info_.bmiHeader.biSize = sizeof(info_.bmiHeader);
        info_.bmiHeader.biWidth = width;
        info_.bmiHeader.biHeight = height;  // bottom-up, as .bmp files store it
        info_.bmiHeader.biPlanes = 1;
        info_.bmiHeader.biBitCount = 24;
        info_.bmiHeader.biCompression = BI_RGB;
        info_.bmiHeader.biSizeImage = static_cast<DWORD>(Stride()) * static_cast<DWORD>(height);
        const ScreenDC screen(::GetDC(nullptr));
        memory_.reset(::CreateCompatibleDC(screen.get()));
        bitmap_.reset(::CreateDIBSection(screen.get(), &info_, DIB_RGB_COLORS, &bits_, nullptr, 0));
        if (memory_ && bitmap_) {
            previous_ = ::SelectObject(memory_.get(), bitmap_.get());
            const RECT all{0, 0, width, height};
            ::FillRect(memory_.get(), &all, ::GetSysColorBrush(COLOR_APPWORKSPACE));
        }
    }
    ~ScreenCanvas() {
        if (previous_ != nullptr) ::SelectObject(memory_.get(), previous_);
    }
    ScreenCanvas(const ScreenCanvas&) = delete;
    ScreenCanvas& operator=(const ScreenCanvas&) = delete;

    bool Ready() const { return bits_ != nullptr && previous_ != nullptr; }

    // The screen's `source` rectangle, drawn with its top-left corner at (x, y).
    void CopyFromScreen(const RECT& source, int x, int y) {
        const ScreenDC screen(::GetDC(nullptr));
        ::BitBlt(memory_.get(), x, y, source.right - source.left, source.bottom - source.top,
                 screen.get(), source.left, source.top, SRCCOPY);
    }

    bool Save(const std::string& path) const {
        if (!Ready()) return false;
        ::GdiFlush();
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;  // "BM"
        file.bfOffBits = sizeof(file) + sizeof(info_.bmiHeader);
        file.bfSize = file.bfOffBits + info_.bmiHeader.biSizeImage;
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr) return false;
        const bool written = std::fwrite(&file, sizeof(file), 1, out) == 1 &&
                             std::fwrite(&info_.bmiHeader, sizeof(info_.bmiHeader), 1, out) == 1 &&
                             std::fwrite(bits_, info_.bmiHeader.biSizeImage, 1, out) == 1;
        return std::fclose(out) == 0 && written;
    }

    // One screen rectangle straight into a file.
    static bool Capture(const RECT& area, const std::string& path) {
        ScreenCanvas canvas(area.right - area.left, area.bottom - area.top);
        if (!canvas.Ready()) return false;
        canvas.CopyFromScreen(area, 0, 0);
        return canvas.Save(path);
    }

private:
    static void ReleaseScreenDC(HDC dc) { ::ReleaseDC(nullptr, dc); }
    using ScreenDC = UniqueResource<HDC, ReleaseScreenDC>;
    using MemoryDC = UniqueResource<HDC, ::DeleteDC>;
    using Bitmap = UniqueResource<HBITMAP, ::DeleteObject>;

    int Stride() const { return (width_ * 3 + 3) & ~3; }

    int width_;
    BITMAPINFO info_{};
    MemoryDC memory_;
    Bitmap bitmap_;
    void* bits_ = nullptr;
    HGDIOBJ previous_ = nullptr;  // not owned
};
