// Figures for the toolkit's lowest layer, read from the skin archive linked into this executable as the
// launcher reads its own: the markup reader against TinyXML on each shipped layout, the skin's own JPEG to
// a drawable bitmap against stb_image's own decode of the same bytes, and the blits of every paint.
#include "BenchCommon.h"
#include "BenchSkin.h"

#include "UIMarkup.h"
#include "UIRender.h"
#include "UIResources.h"

#include <tinyxml.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// stb_image's own decoder, compiled privately here (static functions) so that the baseline stays stb_image
// as shipped, whatever the toolkit does with its copy.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

using namespace SkinUI;
using bench::OpenSkinFromResource;

namespace {

// The layouts the launcher ships in its archive (resources/CMakeLists.txt).
constexpr const wchar_t* kLayouts[] = {L"GameLoader.xml", L"CustomMsgBox.xml"};


std::vector<BYTE> SkinFile(const wchar_t* name)
{
    std::vector<BYTE> bytes;
    if (CSkinResources::ReadSkinFile(name, bytes, 64u << 20) != CSkinResources::Lookup::Ok) bytes.clear();
    return bytes;
}

// Repetitions of work that take about targetUs, so that one sample is long enough for a steady figure.
int Calibrate(const std::function<void()>& work, double targetUs)
{
    work();
    int n = 1;
    for (;;) {
        const double t0 = bench::NowUs();
        for (int i = 0; i < n; ++i) work();
        const double took = bench::NowUs() - t0;
        if (took >= targetUs / 4 || n >= (1 << 20))
            return std::max(1, static_cast<int>(static_cast<double>(n) * targetUs / std::max(took, 1.0)));
        n *= 4;
    }
}

// The markup reader against TinyXML on the same text: each run times many parses of each (the median of five
// batches of about a millisecond), one reader after the other, and gives the ratio of the two.
void MarkupFigure(const char* label, const std::string& text, bool shipped, size_t maxRuns = 200)
{
    CSkinMarkup markup;
    const auto ours = [&] { (void)markup.LoadFromBytes(text.data(), text.size()); };
    const auto tiny = [&] {
        TiXmlDocument doc;
        doc.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
    };
    if (!markup.LoadFromBytes(text.data(), text.size())) {
        std::printf("markup  %s: the markup reader refused it\n", label);
        if (shipped) bench::Row(std::string("markup reader vs TinyXML: ") + label, ">= 20x", "parse failed", "miss");
        return;
    }
    const int nOurs = Calibrate(ours, 1000), nTiny = Calibrate(tiny, 1000);
    std::vector<double> tOurs, tTiny, ratio;
    for (size_t run = 0; run < maxRuns; ++run) {
        tOurs.push_back(bench::MedianOf(5, ours, nOurs));
        tTiny.push_back(bench::MedianOf(5, tiny, nTiny));
        ratio.push_back(tTiny.back() / tOurs.back());
        if (run + 1 >= 15 && (run + 1) % 5 == 0 && bench::Steady(bench::Summarise(ratio))) break;
    }
    const bench::Stats r = bench::Summarise(ratio);
    std::printf("markup  %s: %zu bytes, %lu elements, %d and %d parses per run\n", label, text.size(),
                markup.ElementCount(), nOurs, nTiny);
    bench::Detail("CSkinMarkup, one parse", bench::Summarise(tOurs));
    bench::Detail("TinyXML, one parse", bench::Summarise(tTiny));
    bench::Detail("TinyXML / CSkinMarkup", r, &bench::Ratio);
    if (shipped)
        bench::Row(std::string("markup reader vs TinyXML: ") + label, ">= 20x faster",
                   bench::Measured(r, &bench::Ratio), bench::Verdict(r.median >= 20));
}

// A large layout (not shipped; for the reader's throughput): nested containers full of buttons and labels.
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
                 "\" normalimage=\"file='btn.png' source='0,0,80,24' corner='4,4,4,4'\" textcolor=\"#FFEEE8D9\" />"
                 "<Label text=\"\xE6\xA0\x87\xE7\xAD\xBE &lt;" +
                 n + "&gt;\" align=\"center\" font=\"2\" /></HorizontalLayout>\n";
        }
        s += "  </VerticalLayout>\n";
    }
    return s + "</Window>\n";
}

// The skin's JPEG to a drawable bitmap (decode, premultiply, DIB section) against stb_image decoding the same
// bytes to 32-bit pixels and nothing more, alternately.
void JpegFigure(const wchar_t* name)
{
    const std::vector<BYTE> jpeg = SkinFile(name);
    int w = 0, h = 0, comp = 0;
    if (jpeg.empty() || !stbi_info_from_memory(jpeg.data(), static_cast<int>(jpeg.size()), &w, &h, &comp)) {
        std::printf("decode  %ls: not in the skin archive or not a picture\n", name);
        bench::Row("skin JPEG to a drawable bitmap", "<= 1.2 x stb_image", "not measured", "miss");
        return;
    }
    bool failed = false;
    const auto [kit, stb] = bench::MeasurePair(
        [&] {
            const double t0 = bench::NowUs();
            const auto image = CRenderKit::DecodeImageBytes(jpeg.data(), jpeg.size(), 0);
            const double t = bench::NowUs() - t0;
            if (!image) failed = true;
            return t;
        },
        [&] {
            int x = 0, y = 0, n = 0;
            const double t0 = bench::NowUs();
            stbi_uc* px = stbi_load_from_memory(jpeg.data(), static_cast<int>(jpeg.size()), &x, &y, &n, 4);
            const double t = bench::NowUs() - t0;
            if (px == nullptr) failed = true;
            stbi_image_free(px);
            return t;
        },
        bench::Repeat{15, 101});
    std::printf("decode  %ls: %zu bytes, %d x %d\n", name, jpeg.size(), w, h);
    bench::Detail("stb_image's own decode to 32-bit pixels", stb);
    bench::Detail("CRenderKit::DecodeImageBytes (drawable bitmap)", kit);
    char figure[160];
    std::snprintf(figure, sizeof figure, "skin JPEG to a drawable bitmap (%ls, %d x %d)", name, w, h);
    if (failed)
        bench::Row(figure, "<= 1.2 x stb_image", "decode failed", "miss");
    else
        bench::RowRatioGoal(figure, kit, stb, 1.2, "stb_image");
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
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
};

void BlitFigure(const char* label, const wchar_t* name, const RECT& dest, const RECT& corners, bool blend)
{
    const std::vector<BYTE> bytes = SkinFile(name);
    const auto image = CRenderKit::DecodeImageBytes(bytes.data(), bytes.size(), 0);
    if (!image) return;
    Surface surface(960, 620);
    const RECT paint{0, 0, 960, 620};
    const RECT source{0, 0, image->width, image->height};
    const bench::Stats s = bench::Measure([&] {
        return bench::MedianOf(11, [&] {
            CRenderKit::BlitImage(surface.dc.Get(), image->bitmap.Get(), dest, paint, source, corners, blend, 255,
                                  false, false, false);
            ::GdiFlush();
        });
    });
    char what[160];
    std::snprintf(what, sizeof what, "blit %s %ld x %ld %s", label, dest.right - dest.left, dest.bottom - dest.top,
                  blend ? "blended" : "copied");
    bench::Detail(what, s);
}

}  // namespace

int wmain()
{
    if (!OpenSkinFromResource()) {
        std::printf("the skin archive resource could not be opened\n");
        return 1;
    }
    for (const wchar_t* name : kLayouts) {
        const std::vector<BYTE> bytes = SkinFile(name);
        char label[64];
        std::snprintf(label, sizeof label, "%ls", name);
        if (bytes.empty()) {
            std::printf("markup  %s: not in the skin archive\n", label);
            bench::Row(std::string("markup reader vs TinyXML: ") + label, ">= 20x faster", "not in the archive",
                       "miss");
            continue;
        }
        MarkupFigure(label, std::string(bytes.begin(), bytes.end()), true);
    }
    MarkupFigure("generated large layout", GeneratedLargeLayout(), false, 15);

    JpegFigure(L"rho_download_bk.jpg");

    BlitFigure("nine-part bar", L"gprogress_fore.png", RECT{320, 320, 850, 333}, RECT{3, 3, 3, 3}, true);
    BlitFigure("full background", L"rho_download_bk.jpg", RECT{0, 0, 960, 620}, RECT{}, false);
    BlitFigure("full background", L"rho_download_bk.jpg", RECT{0, 0, 960, 620}, RECT{}, true);
    return 0;
}
