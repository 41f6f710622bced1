#include "ui/line_view.h"

#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>

using namespace px316t;
using namespace std::chrono_literals;

TEST(LineView, ShowsTheRecordsFiguresAndSaysWhenTheRecordCannotBeRead)
{
    std::atomic<int> calls = 0;
    std::atomic<bool> fail = false;
    const LineView::Fetch fetch = [&](SystemTime) -> Outcome<std::vector<RecordEntry>> {
        ++calls;
        if (fail)
            return Failure{"the production database could not be reached"};
        std::vector<RecordEntry> entries;
        for (int i = 0; i < 6; ++i) {
            RecordEntry e;
            e.station = "bench-1";
            e.port = "COM1";
            e.time = std::chrono::system_clock::now() - std::chrono::minutes(2 * i);
            e.result = i == 5 ? RecordResult::VerifyError : RecordResult::Success;
            entries.push_back(e);
        }
        return entries;
    };
    LineView view(fetch, QStringLiteral("Batch tray-17"), 990);
    view.resize(700, 480);
    view.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.summaryText().contains(QStringLiteral("bench-1")); }, 10000));
    // 5 verified pagers in the last 15 minutes: 20 an hour, 2 % of one board's wire.
    EXPECT_TRUE(view.summaryText().contains(QStringLiteral("bench-1                     5        1         0         20      1        2%")))
        << view.summaryText().toStdString();
    // The station's line is drawn in its colour across the plot (far more of it
    // than the key's short stroke), and the failure's cross in red.
    const QImage picture = view.grab().toImage();
    const auto pixelsOf = [&](QRgb colour) {
        int count = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                count += picture.pixel(x, y) == colour;
        return count;
    };
    EXPECT_GT(pixelsOf(qRgb(0x1f, 0x77, 0xb4)), picture.width() / 2);
    EXPECT_GT(pixelsOf(qRgb(0xff, 0x00, 0x00)), 0);

    fail = true;
    view.refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.statusText().contains(QStringLiteral("could not be read")); }, 10000));
    EXPECT_TRUE(view.summaryText().contains(QStringLiteral("bench-1")));   // the last figures stay
    EXPECT_GE(calls.load(), 2);
}
