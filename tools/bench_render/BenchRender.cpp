// Prints timings of the markup reader (against TinyXML on the same text), of image decoding with
// premultiplication, and of the blits the launcher's main window does on every paint.
#include "UIMarkup.h"
#include "UIRender.h"

#include <objidl.h>
#include <gdiplus.h>
#include <tinyxml.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace SkinUI;

namespace {

double NowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Median time of one run in milliseconds; each sample repeats the work often enough to be measurable.
double Measure(const std::function<void()>& work, int repeat, int samples = 9)
{
    work();  // warm-up
    std::vector<double> times;
    for (int s = 0; s < samples; ++s) {
        const double start = NowMs();
        for (int i = 0; i < repeat; ++i) work();
        times.push_back((NowMs() - start) / repeat);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::string ReadRepoFile(const char* relative)
{
    std::ifstream in(std::string("Z:") + VEMRA_SOURCE_DIR + "/" + relative, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Used when the repository's layouts cannot be read: the same shape as the launcher's main window.
std::string GeneratedLauncherLayout()
{
    std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Window size=\"960,620\" caption=\"0,0,0,340\">\n";
    for (int i = 0; i < 7; ++i) s += "  <Font name=\"\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91\" size=\"12\" />\n";
    s += "  <VerticalLayout bkcolor=\"#FFFFFFFF\"><TabLayout name=\"wizardTab\"><VerticalLayout>"
         "<IeBrowser name=\"ie\" homepage=\"about:blank\" /></VerticalLayout><VerticalLayout>"
         "<Button name=\"btnClose\" float=\"true\" pos=\"928,4,956,34\" normalimage=\"gclose_normal.png\" />"
         "<Progress name=\"progress\" bkimage=\"file='gprogress_bk.png' corner='3,3,3,3'\" />"
         "</VerticalLayout></TabLayout></VerticalLayout>\n</Window>\n";
    return s;
}

// A large layout: nested containers full of buttons and labels with many attributes, entities and comments.
std::string GeneratedLargeLayout()
{
    std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Window size=\"960,620\" caption=\"0,0,0,30\">\n";
    for (int block = 0; block < 400; ++block) {
        s += "  <!-- block " + std::to_string(block) + " -->\n  <VerticalLayout name=\"block" + std::to_string(block) +
             "\" bkcolor=\"#FF203040\" padding=\"4,4,4,4\" inset=\"2,2,2,2\">\n";
        for (int i = 0; i < 6; ++i) {
            const std::string n = std::to_string(block * 10 + i);
            s += "    <HorizontalLayout height=\"24\"><Button name=\"btn" + n +
                 "\" float=\"true\" pos=\"10,10,90,34\" text=\"Button &amp; " + n +
                 "\" normalimage=\"file='btn.png' source='0,0,80,24' corner='4,4,4,4'\" "
                 "hotimage=\"file='btn.png' source='0,24,80,48' corner='4,4,4,4'\" textcolor=\"#FFEEE8D9\" />"
                 "<Label text=\"\xE6\xA0\x87\xE7\xAD\xBE &lt;" +
                 n + "&gt;\" align=\"center\" font=\"2\" /></HorizontalLayout>\n";
        }
        s += "  </VerticalLayout>\n";
    }
    s += "</Window>\n";
    return s;
}

void BenchMarkup(const char* label, const std::string& utf8)
{
    const int repeat = std::max(1, static_cast<int>(2000000 / (utf8.size() + 1)));
    CSkinMarkup markup;
    const double ours = Measure([&] { (void)markup.LoadFromBytes(utf8.data(), utf8.size()); }, repeat);
    const bool ok = markup.LoadFromBytes(utf8.data(), utf8.size());
    const double tiny = Measure(
        [&] {
            TiXmlDocument doc;
            doc.Parse(utf8.c_str(), nullptr, TIXML_ENCODING_UTF8);
        },
        repeat);
    const double mb = static_cast<double>(utf8.size()) / (1024.0 * 1024.0);
    std::printf("markup  %-22s %8zu bytes %5lu elements  CSkinMarkup %8.4f ms (%6.1f MiB/s)  TinyXML %8.4f ms "
                "(%6.1f MiB/s)  ratio %.1fx%s\n",
                label, utf8.size(), ok ? markup.ElementCount() - 1 : 0, ours, mb / (ours / 1000.0), tiny,
                mb / (tiny / 1000.0), tiny / ours, ok ? "" : "  (parse FAILED)");
}

// Encodes a GDI+ bitmap with the platform's encoder for mimeType ("image/png", "image/jpeg").
std::vector<BYTE> Encode(Gdiplus::Bitmap& bitmap, const wchar_t* mimeType)
{
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, codecs);
    const CLSID* clsid = nullptr;
    for (UINT i = 0; i < count; ++i)
        if (std::wcscmp(codecs[i].MimeType, mimeType) == 0) clsid = &codecs[i].Clsid;
    std::vector<BYTE> out;
    Microsoft::WRL::ComPtr<IStream> stream;
    if (!clsid || FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return out;
    if (bitmap.Save(stream.Get(), clsid, nullptr) != Gdiplus::Ok) return out;
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    out.resize(static_cast<size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(out.data(), static_cast<ULONG>(out.size()), &read);
    return out;
}

std::vector<BYTE> MakeImage(int width, int height, bool alpha, const wchar_t* mimeType)
{
    Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const BYTE a = alpha ? static_cast<BYTE>((x * 255) / std::max(1, width - 1)) : 255;
            bitmap.SetPixel(x, y, Gdiplus::Color(a, static_cast<BYTE>(x * 7 + y), static_cast<BYTE>(y * 3),
                                                 static_cast<BYTE>((x ^ y) * 5)));
        }
    return Encode(bitmap, mimeType);
}

void BenchDecode(const char* label, const std::vector<BYTE>& bytes)
{
    std::unique_ptr<CachedImage> image;
    const double ms = Measure([&] { image = CRenderKit::DecodeImageBytes(bytes.data(), bytes.size(), 0); }, 3);
    std::printf("decode  %-22s %8zu bytes  %8.3f ms%s\n", label, bytes.size(), ms, image ? "" : "  (FAILED)");
}

struct Surface {
    CMemDC dc;
    CUniqueBitmap bitmap;
    HGDIOBJ old = nullptr;
    Surface(int w, int h)
    {
        void* bits = nullptr;
        dc.Put(::CreateCompatibleDC(nullptr));
        bitmap = CRenderKit::CreateDib32(dc.Get(), w, h, &bits);
        old = ::SelectObject(dc.Get(), bitmap.Get());
    }
    ~Surface() { ::SelectObject(dc.Get(), old); }
};

void BenchBlit(const char* label, const CachedImage& image, const RECT& dest, const RECT& corners, bool blend)
{
    Surface surface(960, 620);
    const RECT paint{0, 0, 960, 620};
    const RECT source{0, 0, image.width, image.height};
    const double ms = Measure(
        [&] {
            CRenderKit::BlitImage(surface.dc.Get(), image.bitmap.Get(), dest, paint, source, corners, blend, 255,
                                  false, false, false);
            ::GdiFlush();
        },
        20);
    std::printf("blit    %-22s %4ld x %-4ld %s  %8.3f ms\n", label, dest.right - dest.left, dest.bottom - dest.top,
                blend ? "blended" : "copied ", ms);
}

}  // namespace

int wmain()
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) {
        std::printf("GDI+ did not start\n");
        return 1;
    }
    {
        std::string main = ReadRepoFile("resources/GameLoader.xml");
        std::string box = ReadRepoFile("resources/CustomMsgBox.xml");
        const bool fromRepo = !main.empty() && !box.empty();
        if (!fromRepo) main = box = GeneratedLauncherLayout();
        std::printf("layouts: %s\n", fromRepo ? "resources/GameLoader.xml and resources/CustomMsgBox.xml"
                                             : "generated stand-ins (repository layouts not found)");
        BenchMarkup("GameLoader.xml", main);
        BenchMarkup("CustomMsgBox.xml", box);
        BenchMarkup("generated large", GeneratedLargeLayout());

        const std::vector<BYTE> jpeg = MakeImage(960, 620, false, L"image/jpeg");
        const std::vector<BYTE> png = MakeImage(58, 58, true, L"image/png");
        BenchDecode("960 x 620 JPEG", jpeg);
        BenchDecode("58 x 58 PNG (alpha)", png);

        const std::vector<BYTE> barPng = MakeImage(9, 13, true, L"image/png");
        auto bar = CRenderKit::DecodeImageBytes(barPng.data(), barPng.size(), 0);
        auto background = CRenderKit::DecodeImageBytes(jpeg.data(), jpeg.size(), 0);
        const std::vector<BYTE> alphaPng = MakeImage(960, 620, true, L"image/png");
        auto alphaBackground = CRenderKit::DecodeImageBytes(alphaPng.data(), alphaPng.size(), 0);
        if (bar && background && alphaBackground) {
            BenchBlit("nine-part bar", *bar, RECT{320, 320, 850, 333}, RECT{3, 3, 3, 3}, true);
            BenchBlit("full background", *background, RECT{0, 0, 960, 620}, RECT{}, false);
            BenchBlit("full background", *alphaBackground, RECT{0, 0, 960, 620}, RECT{}, true);
        }
    }
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
