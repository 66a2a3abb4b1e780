#include "update/history_reader.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace lectoria {
namespace {

struct ReaderCase {
    const char* name;
    QString text;
    HistoryVerdict verdict;
    QString latest;
    bool markerBeyondLimit = false;
};

// Named in ctest's listing and in failures by its case name, not by a dump of its bytes.
void PrintTo(const ReaderCase& c, std::ostream* os) {
    *os << c.name;
}

const QString kMarker = QStringLiteral("Historique Lectoria");
const QString kApp = QStringLiteral("1.1.8");

QString Padding(qsizetype count) {
    return QString(count, QLatin1Char('x'));
}

std::vector<ReaderCase> ReaderCases() {
    const QString tab = QStringLiteral("\t");
    return {
        {"UpToDate", kMarker + "\r\n*1.1.8\tcorrections\r\n", HistoryVerdict::UpToDate, kApp},
        {"NewerVersion", kMarker + "\n*1.2.0\tnouveau\n*1.1.8\tancien", HistoryVerdict::Different, "1.2.0"},
        {"OlderVersionIsOfferedToo", kMarker + "*1.0.3\t", HistoryVerdict::Different, "1.0.3"},
        {"LeadingZerosDiffer", kMarker + "*1.01.0008\t", HistoryVerdict::Different, "1.01.0008"},
        {"TrailingBlankDiffers", kMarker + "*1.1.8 \t", HistoryVerdict::Different, "1.1.8 "},
        {"CaseSensitiveVersion", kMarker + "*V1.1.8\t", HistoryVerdict::Different, "V1.1.8"},
        {"TabRightAfterStarGivesEmptyVersion", kMarker + "*\t1.1.8", HistoryVerdict::Different, ""},
        {"CrLfBeforeTabIsPartOfTheVersion", kMarker + "*1.1.8\r\n\t", HistoryVerdict::Different, "1.1.8\r\n"},
        {"MarkerAfterTheField", "*1.1.8\tnotes\r\n" + kMarker, HistoryVerdict::UpToDate, kApp},
        {"StarBeforeMarkerBecomesTheField", "voir *ici\t\r\n" + kMarker + "\r\n*1.1.8\t", HistoryVerdict::Different,
         "ici"},
        {"FieldIsTheFirstStarEvenWithoutTabBeforeTheNext", kMarker + "*1.2*1.1.8\t", HistoryVerdict::Different,
         "1.2*1.1.8"},
        {"Utf8BomIsJustACharacter", QChar(0xFEFF) + kMarker + "\r\n*1.1.8\t", HistoryVerdict::UpToDate, kApp},
        {"EmptyText", "", HistoryVerdict::MarkerMissing, ""},
        {"ServerErrorPage", "<html>404 Not Found *1.1.8\t</html>", HistoryVerdict::MarkerMissing, ""},
        {"MarkerCaseMatters", "historique lectoria *1.1.8\t", HistoryVerdict::MarkerMissing, ""},
        {"MarkerWithoutStar", kMarker + "\r\n1.1.8\t", HistoryVerdict::FieldUnreadable, ""},
        {"StarWithoutTabAfterIt", "\t" + kMarker + "*1.1.8\r\n", HistoryVerdict::FieldUnreadable, ""},
        // 16-bit positions: the last character that fits is number 32767.
        {"MarkerStartsAtLastPosition", "*1.1.8\t" + Padding(32766 - 7) + kMarker, HistoryVerdict::UpToDate, kApp},
        {"MarkerStartsPastLimit", "*1.1.8\t" + Padding(32767 - 7) + kMarker, HistoryVerdict::FieldUnreadable, "", true},
        {"TabAtLastPosition", kMarker + "*" + Padding(32766 - 20) + tab, HistoryVerdict::Different,
         Padding(32766 - 20)},
        {"TabPastLimit", kMarker + "*" + Padding(32767 - 20) + tab, HistoryVerdict::FieldUnreadable, ""},
        {"StarPastLimit", kMarker + Padding(32767 - 19) + "*1.1.8\t", HistoryVerdict::FieldUnreadable, ""},
        {"LongTextAfterTheFieldIsNotRead", kMarker + "*1.1.8\t" + Padding(40000), HistoryVerdict::UpToDate, kApp},
    };
}

class ReadHistoryTest : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ReadHistoryTest, Verdict) {
    const ReaderCase& c = GetParam();
    const HistoryReading reading = ReadHistory(c.text, kApp);
    EXPECT_EQ(reading.verdict, c.verdict);
    EXPECT_EQ(reading.latestVersion, c.latest);
    EXPECT_EQ(reading.markerBeyondLimit, c.markerBeyondLimit);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadHistoryTest, ::testing::ValuesIn(ReaderCases()),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace lectoria
