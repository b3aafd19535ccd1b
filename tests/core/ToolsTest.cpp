#include "CoreTest.h"
#include "core/CoordinateScanner_p.h"
#include "core/Tools.h"
#include "tile/BaiduToConvert.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QUrl>

#include <cmath>

namespace {

// Names that have broken path code before: spaces, Chinese, quotes, URL characters, a long name
// (210 bytes, still room for "(n)" within 255).
const QString kNames[] = {QString::fromUtf8("中文 任务"), QStringLiteral("quote's \"x\" #%20&"), QString(70, QChar(0x6D4B))};

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

QByteArray encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A 512 x 512 large-font image whose four quarters have distinct colours.
QImage quarters() {
    QImage image(512, 512, QImage::Format_ARGB32);
    QPainter p(&image);
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
    for (int i = 0; i < 4; ++i) p.fillRect(i % 2 * 256, i / 2 * 256, 256, 256, colours[i]);
    return image;
}

// The first catalogue type with the given traits (-1 when none).
int findMapType(bool baidu, bool wgs, bool dem) {
    for (int t = 0; t < 2000; ++t)
        if (Tools::isBaidu(t) == baidu && Tools::isWGS(t) == wgs && Tools::isDem(t, -1) == dem) return t;
    return -1;
}

double taskSize(int mapType, const EXTENT& extent, QList<int> levels) {
    DownloadTask task;
    task.maptype = mapType;
    task.extent = extent;
    task.level = levels;
    return Tools::getTaskSize(task);
}

}  // namespace

TEST(ToolsFile, DeleteDirRemovesTreeAndEmptyParentsButNotHiddenEntriesOrLinkTargetsFreeSpaceOfTheHoldingFileSystem) {
    QTemporaryDir tmp;
    const QString root = tmp.filePath(QString::fromUtf8("任务 one"));
    ASSERT_TRUE(touch(root + "/a/b/c/tile.png") && touch(root + "/a/f.dat") && touch(tmp.filePath("keep")));
    EXPECT_TRUE(Tools::deleteDir(root));
    EXPECT_FALSE(QFileInfo::exists(root));
    EXPECT_TRUE(QFileInfo::exists(tmp.filePath("keep")));  // a parent that is not empty stays
    ASSERT_TRUE(QDir().mkpath(tmp.filePath("p/q/r")));
    EXPECT_TRUE(Tools::deleteDir(tmp.filePath("p/q/r")));
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath("p")));  // an otherwise empty parent chain goes with it
    EXPECT_TRUE(Tools::deleteDir(tmp.filePath("never-there")));
    EXPECT_FALSE(Tools::deleteDir(QString()));

    // Hidden entries are not listed, so not deleted; links go, but not what they point to.
    ASSERT_TRUE(touch(tmp.filePath("hidden/.secret")));
    EXPECT_FALSE(Tools::deleteDir(tmp.filePath("hidden")));
    EXPECT_TRUE(QFileInfo::exists(tmp.filePath("hidden/.secret")));
    ASSERT_TRUE(touch(tmp.filePath("target/precious")) && QDir().mkpath(tmp.filePath("walk")));
    ASSERT_TRUE(QFile::link(tmp.filePath("target"), tmp.filePath("walk/link")));
    ASSERT_TRUE(QFile::link(tmp.filePath("target"), tmp.filePath("dirlink")));
    EXPECT_TRUE(Tools::deleteDir(tmp.filePath("walk")));
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath("walk")));
    EXPECT_TRUE(Tools::deleteDir(tmp.filePath("dirlink")));
    EXPECT_TRUE(QFileInfo::exists(tmp.filePath("target/precious")));

    // Free space is the holding file system's, of the nearest existing ancestor when the path is not there yet.
    const double expected = static_cast<double>(QStorageInfo(tmp.path()).bytesFree()) / 1024.0 / 1024.0;
    const double slack = std::max(expected * 0.01, 256.0);  // other processes write meanwhile
    ASSERT_GT(expected, 0.0);
    EXPECT_NEAR(Tools::getDiskFreeSpace(tmp.filePath(QString::fromUtf8("尚未/创建/任务.idx"))), expected, slack);
    EXPECT_EQ(Tools::getDiskFreeSpace(QString()), 0.0);
}

TEST(ToolsFile, TaskPathsAndNamesRenamingCountsFromTwoAndSkipsWhatIsTaken) {
    const char* rows[][3] = {
        {"D:/maps/task.idx", "ignored", "D:/maps/task"},
        {"D:/maps/task.v2.dat", "ignored", "D:/maps/task.v2"},
        {"D:/maps/task.IDX", "n", "D:/maps/task.IDX/n"},  // case-sensitive
        {"D:/maps", "北京 影像", "D:/maps/北京 影像"},
    };
    for (const auto& row : rows) {
        DownloadTask task;
        task.path = QString::fromUtf8(row[0]);
        task.name = QString::fromUtf8(row[1]);
        const QString expected = QString::fromUtf8(row[2]);
        EXPECT_EQ(Tools::CalculateTaskValidPath(task, ".idx"), gb(expected) + ".idx") << row[0];
        EXPECT_EQ(Tools::CalculateTaskLabelValidPath(task, ".dat"), gb(expected + QString::fromUtf8("_标签")) + ".dat");
    }
    DownloadTask broken;
    broken.path = QString(QChar(0xD800));
    EXPECT_EQ(Tools::CalculateTaskValidPath(broken, ".idx"), "");

    const std::pair<const char*, bool> names[] = {
        {"", false},    {"a|b", false},   {"a？b", false},     {"a：b", false},      {"a“b", false},
        {"《a》", false}, {"a/b", false},   {"a*b", false},      {"a<b", false},       {"a\"b", false},
        {"a\\b", true}, {"北京 2024", true}, {"it's (2)", true}, {" ", true},
    };
    for (const auto& [name, valid] : names) EXPECT_EQ(Tools::IsTaskNameValidity(QString::fromUtf8(name)), valid) << name;

    QTemporaryDir tmp;
    const QString label = QString::fromUtf8("_标签");
    for (const QString& name : kNames) {
        SCOPED_TRACE(name.toStdString());
        const QString base = tmp.filePath(name);
        EXPECT_EQ(ungb(Tools::GetNonRepeatFilePath(gb(base + ".tif"))), base + ".tif");
        ASSERT_TRUE(touch(base + ".tif"));
        EXPECT_EQ(ungb(Tools::GetNonRepeatFilePath(gb(base + ".tif"))), base + "(2).tif");
        ASSERT_TRUE(touch(base + "(2).tif"));
        EXPECT_EQ(ungb(Tools::GetNonRepeatFilePath(gb(base + ".tif"))), base + "(3).tif");

        EXPECT_EQ(Tools::GetExistTaskReName(tmp.path(), name), name);  // files do not collide
        EXPECT_EQ(Tools::CreateFileReNameDir(gb(base)), gb(base));
        EXPECT_EQ(ungb(Tools::CreateFileReNameDir(gb(base))), base + "(2)");
        EXPECT_EQ(Tools::GetExistTaskReName(tmp.path(), name + "(7)"), name + "(3)");  // number dropped, recounted
        ASSERT_TRUE(QDir(tmp.path()).mkdir(name + "(3)" + label));  // only the label depository exists
        EXPECT_EQ(Tools::GetExistTaskReName(tmp.path(), name), name + "(4)");

        QString path = base + "/deep/er";
        ASSERT_TRUE(Tools::createDirectory(path, true));  // created with its parents, not renamed
        EXPECT_TRUE(Tools::createDirectory(path, false));
        EXPECT_EQ(path, base + "/deep/er");
        ASSERT_TRUE(Tools::createDirectory(path, true));
        EXPECT_EQ(path, base + "/deep/er(2)");
        EXPECT_TRUE(QFileInfo(path).isDir());
    }
    ASSERT_TRUE(QDir(tmp.path()).mkdir("dir.d"));
    const std::pair<const char*, const char*> forms[] = {
        {"a.b.tif", "a.b(2).b.tif"},        // stem to the last dot, extension from the first
        {"dir.d/noext", "dir.d/noext(2)"},  // a dot in the directory is not the name's
        {"dir.d", "dir(2).d"},              // an existing directory counts too
    };
    for (const auto& [existing, expected] : forms) {
        const QString path = tmp.filePath(existing);
        ASSERT_TRUE(QFileInfo::exists(path) || touch(path));
        EXPECT_EQ(ungb(Tools::GetNonRepeatFilePath(gb(path))), tmp.filePath(expected)) << existing;
    }
    EXPECT_EQ(Tools::GetExistTaskReName(tmp.path(), "t()"), QStringLiteral("t()"));
    QString file = tmp.filePath("a.b.tif"), empty;
    EXPECT_FALSE(Tools::createDirectory(file, true));  // a file is in the way
    EXPECT_FALSE(Tools::createDirectory(empty, false));
}

TEST(ToolsFile, ShellActionsLogAndHandTheirUrlToTheDesktop) {
    UrlCatcher catcher;
    for (const char* scheme : {"file", "http"}) QDesktopServices::setUrlHandler(scheme, &catcher, "open");
    QTemporaryDir tmp;
    CVtLogCapture capture;
    const QString dir = tmp.filePath(kNames[1]);
    Tools::openFolder(dir);
    ASSERT_EQ(catcher.urls.size(), 1u);
    EXPECT_EQ(catcher.urls[0].toLocalFile(), dir);
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_LOG, ("[Tools::openFolder] 打开指定文件目录：" + dir).toStdString()));

    const QString file = tmp.filePath(QString::fromUtf8("影像 \"1\".tif"));
    Tools::openFolderAndSelect(file);  // selecting a file needs the file
    EXPECT_EQ(catcher.urls.size(), 1u);
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_LOG, "[Tools::openFolderAndSelect] 指定文件目录不存在！"));
    ASSERT_TRUE(touch(file));
    capture.Clear();
    Tools::openFolderAndSelect(file);
    ASSERT_EQ(catcher.urls.size(), 2u);
    EXPECT_EQ(catcher.urls[1].toLocalFile(), tmp.path());
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_LOG, ("打开指定文件目录并选中：" + file).toStdString()));

    // From another thread the call is queued to the GUI thread.
    std::thread([] { Tools::openSites(QStringLiteral("http://127.0.0.1:9/a b?q=中")); }).join();
    EXPECT_EQ(catcher.urls.size(), 2u);
    ASSERT_TRUE(waitFor([&] { return QCoreApplication::processEvents(), catcher.urls.size() == 3; }));
    EXPECT_EQ(catcher.urls[2].host(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(catcher.urls[2].path(), QStringLiteral("/a b"));
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_LOG, "[Tools::openSites] 链接URL：http://127.0.0.1:9/a b?q=中"));
    for (const char* scheme : {"file", "http"}) QDesktopServices::unsetUrlHandler(scheme);
}

TEST(ToolsGeometry, DirectionsIntersectionsAndSegments) {
    const QRectF rect(10, 20, 100, 50);  // left 10, right 110, top 20, bottom 70
    const std::pair<QPointF, int> directions[] = {
        {{50, 40}, 0}, {{10, 20}, 0}, {{110, 70}, 0},  // edges belong to the rectangle
        {{9.99, 40}, 1}, {{111, 40}, 2}, {{50, 71}, 4}, {{50, 19}, 8},
        {{0, 0}, 1},      // left wins over above
        {{200, 100}, 2},  // right wins over below
    };
    for (const auto& [p, direction] : directions) EXPECT_EQ(Tools::getDirection(p, rect), direction) << p.x() << "," << p.y();

    const QPointF intersections[][3] = {
        {{50, 40}, {0, 0}, {-200, -200}},  // inside: no side
        {{0, 40}, {20, 60}, {10, 50}},     // left
        {{120, 40}, {100, 20}, {110, 30}}, // right
        {{50, 80}, {60, 60}, {55, 70}},    // bottom (greater y)
        {{50, 0}, {70, 40}, {60, 20}},     // top
    };
    for (const auto& row : intersections) EXPECT_EQ(Tools::getIntersectPoint(row[0], row[1], rect), row[2]) << row[0].x();
    EXPECT_FALSE(std::isfinite(Tools::getIntersectPoint({0, 40}, {0, 60}, rect).y()));  // parallel

    struct Row { QPointF a, b; bool meets; } segments[] = {
        {{0, 0}, {200, 100}, true},     // crosses
        {{50, 40}, {60, 50}, true},     // inside
        {{0, 20}, {5, 20}, false},      // on the top edge's line but short of it
        {{0, 20}, {10, 20}, true},      // touches the corner
        {{0, 200}, {200, 190}, false},  // below
        {{0, 100}, {20, 80}, false},    // same line, segment stops short
        {{50, 40}, {50, 40}, true},     // a point inside
    };
    for (const Row& r : segments)  // either way round
        EXPECT_EQ(std::make_pair(Tools::lineAndRectIntersect(r.a, r.b, rect), Tools::lineAndRectIntersect(r.b, r.a, rect)),
                  std::make_pair(r.meets, r.meets)) << r.a.x() << "," << r.a.y() << " " << r.b.x() << "," << r.b.y();
}

TEST(ToolsImage, JudgeByEndingLargeFontPiecesAndGrayConversion) {
    QByteArray png = encode(QImage(4, 4, QImage::Format_ARGB32), "PNG"), jpg = encode(QImage(4, 4, QImage::Format_RGB32), "JPG");
    QByteArray cut = png.left(png.size() - 1), tiny("\xFF\xD9", 2), html("<html></html>");
    const int dem = findMapType(false, true, true);
    ASSERT_GE(dem, 0);
    EXPECT_TRUE(Tools::judgeImgeIsOk(png, 1));
    EXPECT_TRUE(Tools::judgeImgeIsOk(jpg, 1));
    EXPECT_FALSE(Tools::judgeImgeIsOk(cut, 1));   // truncated download
    EXPECT_FALSE(Tools::judgeImgeIsOk(html, 1));  // an error page
    EXPECT_TRUE(Tools::judgeImgeIsOk(html, dem));   // elevation tiles are not images
    EXPECT_FALSE(Tools::judgeImgeIsOk(tiny, dem));  // but fewer than 3 bytes never pass

    const QByteArray bytes = encode(quarters(), "PNG");
    const CCache data(reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size(), false);
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
    QImage big = quarters();
    for (int i = 0; i < 4; ++i) {
        const QImage piece = Tools::ConvertBFImage(data, CTileKey(5, 10 + i % 2, 20 + i / 2, TILE_MODEL_MERCATOR));
        ASSERT_EQ(piece.size(), QSize(256, 256));
        EXPECT_EQ(piece.pixel(0, 0), colours[i].rgb()) << i;
        EXPECT_EQ(piece.pixel(255, 255), colours[i].rgb()) << i;
    }
    // Level 3: 4 tiles a row. Index 6 is row 2, column 2 (one-based): the lower right quarter.
    const std::pair<int, QColor> indices[] = {{1, Qt::red}, {4, Qt::green}, {6, Qt::yellow}};
    for (const auto& [index, colour] : indices) EXPECT_EQ(Tools::getBigFontImg(big, index, 3).pixel(0, 0), colour.rgb()) << index;
    const QImage blank = Tools::ConvertBFImage(data, CTileKey(3, 0, 0, TILE_MODEL_MERCATOR));
    ASSERT_EQ(blank.size(), QSize(256, 256));
    EXPECT_EQ(qAlpha(blank.pixel(128, 128)), 0);
    const QByteArray junk("not an image");
    EXPECT_TRUE(Tools::ConvertBFImage(CCache(reinterpret_cast<const unsigned char*>(junk.constData()), junk.size(), false),
                                      CTileKey(5, 0, 0, TILE_MODEL_MERCATOR)).isNull());
    EXPECT_TRUE(Tools::getBigFontImg(big, 0, 3).isNull());

    QTemporaryDir tmp;
    const QString file = tmp.filePath(QString::fromUtf8("彩色 图.png"));
    ASSERT_TRUE(big.save(file));
    const QImage gray = Tools::convertToGray(file);
    ASSERT_EQ(gray.size(), QSize(512, 512));
    EXPECT_TRUE(gray.isGrayscale());
    // JPEG is lossy: the grey level of each quarter's centre within a few steps.
    EXPECT_NEAR(qGray(gray.pixel(128, 128)), qGray(qRgb(255, 0, 0)), 4);
    EXPECT_NEAR(qGray(gray.pixel(384, 384)), qGray(qRgb(255, 255, 0)), 4);
    EXPECT_TRUE(Tools::convertToGray(tmp.filePath("missing.png")).isNull());
}

TEST(ToolsImage, TaskSizeCountsTilesOfEveryLevel) {
    const int mercator = findMapType(false, false, false), dem = findMapType(false, true, true),
              wgs = findMapType(false, true, false), baidu = findMapType(true, false, false);
    ASSERT_TRUE(mercator >= 0 && dem >= 0 && wgs >= 0 && baidu >= 0);
    const EXTENT world{-180, -90, 180, 90};  // clamped to the grid first
    // Levels 1..3 are zooms 0..2 of the grid: 1 + 4 + 16 tiles of 192 KB.
    EXPECT_DOUBLE_EQ(taskSize(mercator, world, {1, 2, 3}), 21 * 0.1875);
    EXPECT_DOUBLE_EQ(taskSize(mercator, world, {21, 22}), (std::ldexp(1.0, 40) + std::ldexp(1.0, 42)) * 0.1875);  // no overflow
    EXPECT_DOUBLE_EQ(Tools::getTifImgSize(16), 3.0);
    EXPECT_GT(Tools::getFontRect("Beijing", "Sans", 32).width(), Tools::getFontRect("Beijing", "Sans", 8).width());
    // Elevation tiles (64 x 64 x 32 bits) are a twelfth of image tiles (256 x 256 x 24 bits) on one grid.
    const EXTENT china{73, 18, 135, 54};
    EXPECT_GT(taskSize(wgs, china, {5, 8}), 0.0);
    EXPECT_DOUBLE_EQ(taskSize(dem, china, {5, 8}) * 12.0, taskSize(wgs, china, {5, 8}));
    // Around Beijing BD-09 lies some hundred metres north-east of WGS84: the Baidu task counts the
    // converted extent, which differs from the unconverted one at level 12.
    const EXTENT bd{116.30, 39.85, 116.50, 40.00};
    const QPointF sw = CBaiduToConvert::BdToWGS84PointF(QPointF(bd.minx, bd.miny), 20, 44);
    const QPointF ne = CBaiduToConvert::BdToWGS84PointF(QPointF(bd.maxx, bd.maxy), 20, 44);
    EXPECT_NE(taskSize(baidu, bd, {12, 14}), taskSize(mercator, bd, {12, 14}));
    EXPECT_DOUBLE_EQ(taskSize(baidu, bd, {12, 14}), taskSize(mercator, EXTENT{sw.x(), sw.y(), ne.x(), ne.y()}, {12, 14}));
}

TEST(ToolsText, ScannerFindsWhatTheBacktrackingPatternFindsParseCoordinatesOnPastedAndHostileText) {
    // Short random texts over the pattern's own alphabet and a letter outside it, where backtracking is still cheap.
    static const QRegularExpression reference(VtCoordinatePatternText());
    const char alphabet[] = "0123456789  ,,..--+eE\t\nx";
    QRandomGenerator rng(20240611);
    for (int i = 0; i < 30000; ++i) {
        QString text;
        for (int k = 1 + rng.bounded(22); k > 0; --k) text.append(QLatin1Char(alphabet[rng.bounded(int(sizeof alphabet) - 1)]));
        text.append(QLatin1Char(' '));
        std::vector<std::pair<int, int>> expected;
        for (QRegularExpressionMatchIterator it = reference.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            expected.emplace_back(m.capturedStart(), m.capturedEnd());
        }
        ASSERT_EQ(VtScanCoordinateMatches(text), expected) << '"' << text.toStdString() << '"';
    }

    const double big = std::fmod(1e300, 360.0);
    const struct Row { const char* text; std::vector<CVector3D> points; } rows[] = {
        {"116.39, 39.9", {{116.39, 39.9, 0}}},
        {"190, 100", {{-170, 90, 0}}},  // wrapped and clamped
        {"-190, -100", {{170, -90, 0}}},
        {"-180, 90", {{-180, 90, 0}}},  // borders stay
        {"900, 0", {{180, 0, 0}}},  // 900 - 2 * 360
        {"1,2\n3,4\r\n5,6,7", {{1, 2, 0}, {3, 4, 0}, {5, 6, 7}}},  // one point a line
        {"\t116.1 ,\t39.2 , 50.5\n", {{116.1, 39.2, 50.5}}},
        {"1e2, 4.5E1", {{100, 45, 0}}},
        {"1 e 2, - 4", {{100, -4, 0}}},  // white space inside numbers
        {"1,2,3,4", {{1, 2, 3}}},        // the fourth number is no point
        {"1e999, 2", {{0, 2, 0}}},       // overflow reads as 0
        {"1e300, 2", {{big > 180 ? big - 360 : big, 2, 0}}},
        {"", {}}, {"116.39", {}}, {"116.39, 39.9 x", {}}, {"116.39; 39.9", {}}, {"116.39，39.9", {}},  // full-width comma
    };
    for (const Row& row : rows) EXPECT_EQ(Tools::ParseCoordinates(QString::fromUtf8(row.text)), row.points) << row.text;
    // Long runs of digits and spaces without a comma make a backtracking engine explode; the scan
    // visits each character a bounded number of times, so these return at once.
    QString spaced, plain;
    for (int i = 0; i < 20000; ++i) spaced += QStringLiteral("1  ");
    while (plain.size() < 60000) plain += QStringLiteral("1,2 ");
    EXPECT_TRUE(Tools::ParseCoordinates(spaced + "-").empty());
    EXPECT_TRUE(Tools::ParseCoordinates(QString(60000, QLatin1Char('7')) + ", -").empty());
    EXPECT_EQ(Tools::ParseCoordinates(plain).size(), size_t(plain.size() / 4));
}

TEST(ToolsText, ColoursAndNumbersFromTextAndBack) {
    const QColor red(255, 0, 0, 255);
    const struct Row { const char* text; bool fraction; QColor expected; } rows[] = {  // fraction: fromColorF, else toColor
        {"rgb(1, 2, 3)", false, QColor(1, 2, 3, 255)},  {"rgba(1, 2, 3, 128)", false, QColor(1, 2, 3, 128)},
        {"", false, red},                               {"1,2,3,4,5", false, red},
        {"rgba(1, 2, 3, 0.5)", true, QColor(1, 2, 3, 127)},
        {"rgba(1, 2, 3, 1)", true, QColor(1, 2, 3, 255)},  // 1 is a fraction: opaque
        {"rgba(1, 2, 3, 0)", true, QColor(1, 2, 3, 0)}, {"rgba(1, 2, 3, 200)", true, QColor(1, 2, 3, 200)},
        {"rgb(1, 2, 3)", true, red},
    };
    for (const Row& row : rows) EXPECT_EQ(row.fraction ? Tools::fromColorF(row.text) : Tools::toColor(row.text), row.expected) << row.text;
    EXPECT_EQ(Tools::toRgbaString(QColor(1, 2, 3, 128)), QStringLiteral("rgba(1, 2, 3, 128)"));
    EXPECT_EQ(Tools::toRgbaStringF(QColor(1, 2, 3, 255)), QStringLiteral("rgba(1, 2, 3, 1)"));

    double v = -1;
    EXPECT_TRUE(Tools::isDouble(QStringLiteral(" 2.5 "), &v));
    EXPECT_DOUBLE_EQ(v, 2.5);
    EXPECT_FALSE(Tools::isDouble(QStringLiteral("2,5"), nullptr));
    EXPECT_EQ(Tools::doubleToString(12345678.9, 2), QStringLiteral("12345678.90"));  // never exponent form
}

#include "ToolsTest.moc"
