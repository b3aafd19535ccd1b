#include "../CoreTest.h"

#include <QRegularExpression>

#include <set>

TEST(VtLog, RecordsBeforeInitAreWrittenOnceTheLogOpensConcurrentOnesAsWholeLinesAndAnUnusableDirectoryFails) {
    VtCloseLog();
    QTemporaryDir dir;
    ASSERT_TRUE(touch(dir.filePath("file")));
    char bad[] = "m", module[] = "VtCoreLog20261206101010";
    EXPECT_FALSE(InitVtLog(bad, 3, (dir.filePath("file").toStdString() + "/").c_str()));  // a file, not a directory
    EXPECT_EQ(VtLogRunDirectory(), "");
    VtLogError() << "[early] " << VtGB("进程设置内存安全阈值:") << 1234.5 << "MB";
    ASSERT_TRUE(InitVtLog(module, 3, (dir.path().toStdString() + "/").c_str()));
    constexpr int kThreads = 16;
    constexpr int kRecords = 400;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kRecords; ++i)
                VtLogInfo() << "[worker] t=" << t << " i=" << i << " payload=" << std::string(100, 'a' + t % 26);
        });
    }
    for (auto& th : threads) th.join();
    VtCloseLog();
    const QString text = readText(dir.filePath(QString(module) + "/VtCore.log"));
    const int early = text.indexOf(QString::fromUtf8("[early] 进程设置内存安全阈值:1234.5MB"));
    EXPECT_GE(early, 0);
    EXPECT_GT(text.indexOf("[worker]"), early);
    std::set<std::pair<int, int>> seen;
    for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) {
        const int at = line.indexOf("[worker] t=");
        if (at < 0) continue;
        // Time, level and thread come first.
        static const QRegularExpression prefix(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\[INFO\\] <[0-9a-f]{16}> $"));
        ASSERT_TRUE(prefix.match(line.left(at)).hasMatch()) << line.toStdString();
        // A torn or interleaved record would break this exact shape.
        const QStringList parts = line.mid(at + 11).split(' ');
        ASSERT_EQ(parts.size(), 3) << line.toStdString();
        const int t = parts[0].toInt();
        ASSERT_TRUE(parts[1].startsWith("i="));
        ASSERT_EQ(parts[2], "payload=" + QString(100, QChar('a' + t % 26)));
        seen.insert({t, parts[1].mid(2).toInt()});
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kRecords));
}

TEST(VtLog, StreamedValuesFormatAsTextGbTextIsDecodedForObserversAndLevelsSwitch) {
    CVtLogCapture capture;
    VtLogWarn() << "i=" << -12 << " d=" << 0.1 << " u=" << 18446744073709551615ULL << " s=" << std::string("x");
    VtLogError() << "[Tools::openFolder] " << VtGB("打开指定文件目录");
    const std::vector<VtLogRecord> records = capture.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].utf8, "i=-12 d=0.1 u=18446744073709551615 s=x");
    EXPECT_EQ(records[0].level, VTLOG_LEVEL_WARN);
    EXPECT_EQ(records[1].utf8, "[Tools::openFolder] 打开指定文件目录");  // decoded from GB18030
    // A disabled level writes nothing until enabled again.
    VtEnableAllLogModuleLevel(VTLOG_LEVEL_DEBUG, false);
    VtLogDebug() << "hidden";
    VtEnableAllLogModuleLevel(VTLOG_LEVEL_ALL, true);
    VtLogDebug() << "shown";
    EXPECT_FALSE(capture.Contains("hidden"));
    EXPECT_TRUE(capture.Contains("shown"));
}
