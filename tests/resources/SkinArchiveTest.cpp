// The skin archive inside the launcher: a plain ZIP whose members are everything the layouts and the
// launcher name, readable whether stored or deflated, with pictures of the sizes the layouts assume.
#include "ResourceTest.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#include <stb_image.h>

#include <cstring>
#include <regex>
#include <set>

namespace {

constexpr WORD kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

// The archive and its members, read once for all tests.
class SkinArchive : public testing::Test {
protected:
    static void SetUpTestSuite() {
        restest::CLauncherImage image;
        s_zip = image.Bytes(L"ZIPRES", MAKEINTRESOURCEW(130), kChinese);
        std::string error;
        s_ok = !s_zip.empty() && restest::ReadCentralDirectory(s_zip, &s_members, &error);
        s_error = s_zip.empty() ? "no ZIPRES 130 in the launcher" : error;
    }
    void SetUp() override { ASSERT_TRUE(s_ok) << s_error; }

    static const restest::ZipMember* Find(const std::string& name) {
        for (const auto& m : s_members)
            if (m.name == name) return &m;
        return nullptr;
    }
    static std::string Read(const std::string& name) {
        const restest::ZipMember* m = Find(name);
        if (!m) return {};
        std::string data, error;
        EXPECT_TRUE(restest::ReadMember(s_zip, *m, &data, &error)) << error;
        return data;
    }

    static inline std::string s_zip;
    static inline std::vector<restest::ZipMember> s_members;
    static inline bool s_ok = false;
    static inline std::string s_error;
};

// File names in the image attributes of a layout: a bare name, or the file='...' of a image specification.
std::set<std::string> ImagesNamedBy(const std::string& layout) {
    static const std::regex attr(R"re(\b(?:bkimage|normalimage|hotimage|pushedimage|foreimage|shadowimage)="([^"]*)")re");
    static const std::regex file(R"re(file='([^']*)')re");
    std::set<std::string> names;
    for (std::sregex_iterator it(layout.begin(), layout.end(), attr), end; it != end; ++it) {
        const std::string value = (*it)[1];
        std::smatch f;
        names.insert(std::regex_search(value, f, file) ? f[1].str() : value);
    }
    return names;
}

TEST_F(SkinArchive, IsFlatAndUnencryptedWithBothStoredAndDeflatedMembers) {
    std::set<uint16_t> methods;
    std::set<std::string> seen;
    for (const auto& m : s_members) {
        EXPECT_EQ(m.name.find_first_of("/\\"), std::string::npos) << m.name << " is not at the root";
        EXPECT_EQ(m.flags & 1, 0) << m.name << " is encrypted";
        EXPECT_TRUE(seen.insert(m.name).second) << m.name << " twice";
        methods.insert(m.method);
    }
    EXPECT_EQ(methods, (std::set<uint16_t>{0, 8}));
}

TEST_F(SkinArchive, EveryMemberReadsBackWithItsCrc) {
    for (const auto& m : s_members) {
        std::string data, error;
        EXPECT_TRUE(restest::ReadMember(s_zip, m, &data, &error)) << error;
        EXPECT_EQ(data.size(), m.size) << m.name;
    }
}

TEST_F(SkinArchive, HoldsExactlyWhatTheLayoutsAndTheLauncherName) {
    std::set<std::string> wanted = {"GameLoader.xml", "CustomMsgBox.xml",
                                    // set by the main window for the game codes rho, mesk and dutz
                                    "rho_download_bk.jpg", "mesk_download_bk.jpg", "dutz_download_bk.jpg"};
    for (const char* layout : {"GameLoader.xml", "CustomMsgBox.xml"}) {
        const std::set<std::string> images = ImagesNamedBy(Read(layout));
        EXPECT_FALSE(images.empty()) << layout;
        wanted.insert(images.begin(), images.end());
    }
    std::set<std::string> present;
    for (const auto& m : s_members) present.insert(m.name);
    // Exact, case-sensitive names: the toolkit's lookup does not fold case.
    EXPECT_EQ(present, wanted);
    EXPECT_EQ(wanted.size(), 16u);
}

TEST_F(SkinArchive, LayoutsAreTheRepositoryFilesInUtf8WithDeclaration) {
    for (const char* name : {"GameLoader.xml", "CustomMsgBox.xml"}) {
        SCOPED_TRACE(name);
        const restest::ZipMember* m = Find(name);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->method, 8) << "text is deflated";
        const std::string text = Read(name);
        EXPECT_EQ(text.rfind(R"(<?xml version="1.0" encoding="utf-8" standalone="yes")", 0), 0u)
            << "declaration first, no byte-order mark";
        EXPECT_GT(::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0),
                  0)
            << "valid UTF-8";
        const std::wstring source = std::wstring(L"Z:" VEMRA_RESOURCES_DIR "/") + std::wstring(name, name + strlen(name));
        EXPECT_EQ(text, test::ReadFileBytes(source)) << "archive is older than the layout in the repository";
    }
}

TEST_F(SkinArchive, LayoutsKeepTheirChineseTextsAndSharedNames) {
    const std::string main = Read("GameLoader.xml");
    const std::string box = Read("CustomMsgBox.xml");
    const struct {
        const std::string& layout;
        const char* needle;
        size_t count;
    } rows[] = {
        {main, u8"name=\"微软雅黑\"", 7},
        {main, u8"text=\"正在下载游戏文件，请耐心等待.\"", 1},
        {main, "<IeBrowser name=\"ie\"", 1},
        {box, u8"text=\"提示\"", 1},
        {box, u8"text=\"确定\"", 1},
        {box, "name=\"labelTip\"", 2},  // title first, message second: the dialog relies on the order
        {box, "sizebox=", 0},           // the notice cannot be resized
    };
    for (const auto& r : rows) {
        size_t count = 0;
        for (size_t at = r.layout.find(r.needle); at != std::string::npos; at = r.layout.find(r.needle, at + 1)) ++count;
        EXPECT_EQ(count, r.count) << r.needle;
    }
    EXPECT_LT(box.find(u8"text=\"提示\""), box.find("text=\"\"")) << "title label before message label";
}

// Decoded the way the toolkit decodes skin pictures.
struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgba;
    int Alpha(int x, int y) const { return rgba[(static_cast<size_t>(y) * width + x) * 4 + 3]; }
};
Picture Decode(const std::string& bytes) {
    Picture p;
    int channels = 0;
    unsigned char* px = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()), static_cast<int>(bytes.size()),
                                              &p.width, &p.height, &channels, 4);
    if (px) {
        p.rgba.assign(px, px + static_cast<size_t>(p.width) * p.height * 4);
        stbi_image_free(px);
    }
    return p;
}

TEST_F(SkinArchive, PicturesHaveTheSizesTheLayoutsAssume) {
    const struct {
        const char* name;
        int width, height;
    } rows[] = {
        {"shadow.png", 58, 58},          {"gmin_normal.png", 24, 24},       {"gmin_hover.png", 24, 24},
        {"gclose_normal.png", 28, 28},   {"gclose_hover.png", 28, 28},      {"gprogress_bk.png", 530, 13},
        {"gprogress_fore.png", 530, 13}, {"rho_download_bk.jpg", 960, 620}, {"mesk_download_bk.jpg", 960, 620},
        {"dutz_download_bk.jpg", 960, 620}, {"btn_close.png", 24, 24},    {"btn_close_hover.png", 24, 24},
        {"icon_warning.png", 60, 60},    {"confirm.png", 96, 32},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const restest::ZipMember* m = Find(r.name);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->method, 0) << "pictures are stored";
        const Picture p = Decode(Read(r.name));
        EXPECT_EQ(p.width, r.width);
        EXPECT_EQ(p.height, r.height);
    }
}

TEST_F(SkinArchive, ShadowFadesOutAcrossItsNinePixelFrame) {
    const Picture p = Decode(Read("shadow.png"));
    ASSERT_EQ(p.width, 58);
    // Along the middle of each side, opacity rises from nothing at the outer edge to the window's edge.
    const struct {
        int x0, y0, dx, dy;
    } sides[] = {{0, 29, 1, 0}, {57, 29, -1, 0}, {29, 0, 0, 1}, {29, 57, 0, -1}};
    for (const auto& s : sides) {
        SCOPED_TRACE(testing::Message() << "side from " << s.x0 << "," << s.y0);
        EXPECT_LE(p.Alpha(s.x0, s.y0), 8);
        for (int i = 1; i < 9; ++i)
            EXPECT_GT(p.Alpha(s.x0 + i * s.dx, s.y0 + i * s.dy), p.Alpha(s.x0 + (i - 1) * s.dx, s.y0 + (i - 1) * s.dy));
        EXPECT_GE(p.Alpha(s.x0 + 8 * s.dx, s.y0 + 8 * s.dy), 48) << "visible next to the window";
    }
    // Corners fade round, not square: the outermost corner pixel is clear.
    EXPECT_EQ(p.Alpha(0, 0), 0);
    EXPECT_LT(p.Alpha(3, 3), p.Alpha(3, 29));
}

TEST_F(SkinArchive, ProgressBarEndsAreRounded) {
    for (const char* name : {"gprogress_bk.png", "gprogress_fore.png"}) {
        SCOPED_TRACE(name);
        const Picture p = Decode(Read(name));
        ASSERT_EQ(p.width, 530);
        // Corner pixels are cut by the 3-pixel rounding; the middle of each end and the bar itself are solid.
        for (const auto& xy : {std::pair{0, 0}, {529, 0}, {0, 12}, {529, 12}})
            EXPECT_LT(p.Alpha(xy.first, xy.second), p.Alpha(265, 6) / 2) << xy.first << "," << xy.second;
        EXPECT_GT(p.Alpha(0, 6), p.Alpha(0, 0));
        EXPECT_GT(p.Alpha(265, 6), 100);
    }
}

}  // namespace
