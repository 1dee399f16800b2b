#include "LineSettings.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

namespace quorvane {
namespace {

TEST(LineSettingsParse, ReadsEveryFieldOfTheDialogsTexts)
{
    const std::pair<const char*, unsigned> bauds[] = {{"38400", 38400}, {"19200", 19200},
                                                      {"9600", 9600},   {"4800", 4800},
                                                      {"2400", 2400},   {"1200", 1200}};
    for (const auto& [baudText, baud] : bauds) {
        for (const char parity : {'n', 'o', 'e', 'N', 'O', 'E'}) {
            for (int dataBits = 5; dataBits <= 8; ++dataBits) {
                for (const std::string stop : {"1", "1.5", "2"}) {
                    const std::string text = std::string(baudText) + "," + parity + "," +
                                             std::to_string(dataBits) + "," + stop;
                    const auto settings = ParseLineSettings(text);
                    if (stop == "1.5" && dataBits != 5) {
                        EXPECT_FALSE(settings) << text;
                        continue;
                    }
                    ASSERT_TRUE(settings) << text;
                    EXPECT_EQ(settings->baud, baud) << text;
                    EXPECT_EQ(settings->parity, std::tolower(parity)) << text;
                    EXPECT_EQ(settings->dataBits, dataBits) << text;
                    const StopBits expectedStop = stop == "1"     ? StopBits::One
                                                  : stop == "1.5" ? StopBits::OneAndHalf
                                                                  : StopBits::Two;
                    EXPECT_EQ(settings->stopBits, expectedStop) << text;
                }
            }
        }
    }
}

TEST(LineSettingsParse, KnowsEveryTermiosSpeed)
{
    const std::pair<const char*, speed_t> bauds[] = {
        {"50", B50},           {"75", B75},           {"110", B110},         {"134", B134},
        {"150", B150},         {"200", B200},         {"300", B300},         {"600", B600},
        {"1800", B1800},       {"57600", B57600},     {"115200", B115200},   {"230400", B230400},
        {"460800", B460800},   {"500000", B500000},   {"576000", B576000},   {"921600", B921600},
        {"1000000", B1000000}, {"1152000", B1152000}, {"1500000", B1500000}, {"2000000", B2000000},
        {"2500000", B2500000}, {"3000000", B3000000}, {"3500000", B3500000}, {"4000000", B4000000}};
    for (const auto& [baudText, baud] : bauds) {
        const auto settings = ParseLineSettings(std::string(baudText) + ",n,8,1");
        ASSERT_TRUE(settings) << baudText;
        EXPECT_EQ(settings->baud, std::stoul(baudText)) << baudText;
        EXPECT_EQ(SpeedConstant(settings->baud), baud) << baudText;
    }
}

TEST(LineSettingsParse, RefusesWhatTheLineCannotCarryOrTheTextDoesNotSay)
{
    for (const char* text : {"",
                             "9600",
                             "9600,n,8",
                             "9600,n,8,1,1",
                             "9600,n,4,1",
                             "9600,n,9,1",
                             "9600,n,0,1",
                             "9600,n,4,1.5",
                             "9600,n,6,1.5",
                             "9600,n,7,1.5",
                             "9600,n,8,1.5",
                             "9600,n,8,3",
                             "9600,n,8,0",
                             "9600,n,8,1.0",
                             "9600,m,8,1",
                             "9600,s,8,1",
                             "9600,x,8,1",
                             "9600,,8,1",
                             "9600,no,8,1",
                             "49,n,8,1",
                             "0,n,8,1",
                             "-9600,n,8,1",
                             "+9600,n,8,1",
                             "96OO,n,8,1",
                             "9600.0,n,8,1",
                             "4000001,n,8,1",
                             "99999999999999999999,n,8,1",
                             "9600;n;8;1",
                             ",,,",
                             "9600,n,88,1",
                             "9600,n,-8,1",
                             "9600,n,8,2,"}) {
        EXPECT_FALSE(ParseLineSettings(text)) << '"' << text << '"';
    }
}

TEST(LineSettingsParse, ToleratesBlanksAroundFields)
{
    const auto settings = ParseLineSettings(" 19200 , E , 7 , 2 ");
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->baud, 19200u);
    EXPECT_EQ(settings->parity, 'e');
    EXPECT_EQ(settings->dataBits, 7);
    EXPECT_EQ(settings->stopBits, StopBits::Two);
}

termios Scribbled()
{
    termios attributes;
    std::memset(&attributes, 0xFF, sizeof attributes);
    return attributes;
}

void ExpectRawMarkedLine(const termios& t)
{
    for (const tcflag_t off :
         {IGNBRK, BRKINT, IGNPAR, ISTRIP, INLCR, IGNCR, ICRNL, IXON, IXOFF, IXANY}) {
        EXPECT_EQ(t.c_iflag & off, 0u) << "input flag " << off;
    }
    EXPECT_NE(t.c_iflag & PARMRK, 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    for (const tcflag_t off : {ECHO, ECHONL, ICANON, ISIG, IEXTEN}) {
        EXPECT_EQ(t.c_lflag & off, 0u) << "local flag " << off;
    }
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
}

TEST(LineSettingsApply, SetsRawModeFramingAndMarking)
{
    struct Expectation {
        const char* text;
        tcflag_t size;
        bool parity;
        bool odd;
        bool twoStops;
        speed_t baud;
    };
    for (const Expectation& e : {Expectation{"9600,n,8,1", CS8, false, false, false, B9600},
                                 Expectation{"38400,e,7,2", CS7, true, false, true, B38400},
                                 Expectation{"1200,o,6,1", CS6, true, true, false, B1200},
                                 Expectation{"2400,o,5,1.5", CS5, true, true, true, B2400}}) {
        for (termios t : {Scribbled(), termios{}}) {
            ApplyLineSettings(*ParseLineSettings(e.text), t);
            ExpectRawMarkedLine(t);
            EXPECT_EQ(t.c_cflag & CSIZE, e.size) << e.text;
            EXPECT_EQ((t.c_cflag & PARENB) != 0, e.parity) << e.text;
            EXPECT_EQ((t.c_cflag & PARODD) != 0, e.odd) << e.text;
            EXPECT_EQ((t.c_iflag & INPCK) != 0, e.parity) << e.text;
            EXPECT_EQ((t.c_cflag & CSTOPB) != 0, e.twoStops) << e.text;
            EXPECT_EQ(cfgetospeed(&t), e.baud) << e.text;
            EXPECT_EQ(cfgetispeed(&t), e.baud) << e.text;
        }
    }
}

TEST(LineSettingsApply, LeavesHangUpOnCloseAsTheDriverHasIt)
{
    const LineSettings settings = *ParseLineSettings("9600,n,8,1");
    termios withHupcl{};
    withHupcl.c_cflag = HUPCL;
    ApplyLineSettings(settings, withHupcl);
    EXPECT_NE(withHupcl.c_cflag & HUPCL, 0u);
    termios withoutHupcl{};
    ApplyLineSettings(settings, withoutHupcl);
    EXPECT_EQ(withoutHupcl.c_cflag & HUPCL, 0u);
}

TEST(LineSettingsHeld, ComparesSpeedAndFramingReadBack)
{
    const LineSettings settings = *ParseLineSettings("19200,e,7,2");
    termios held{};
    ApplyLineSettings(settings, held);
    EXPECT_TRUE(LineSettingsHeld(settings, held, false));
    EXPECT_TRUE(LineSettingsHeld(settings, held, true));

    termios slower = held;
    cfsetospeed(&slower, B9600);
    cfsetispeed(&slower, B9600);
    EXPECT_FALSE(LineSettingsHeld(settings, slower, false));
    EXPECT_FALSE(LineSettingsHeld(settings, slower, true));

    termios oneStop = held;
    oneStop.c_cflag &= ~CSTOPB;
    EXPECT_FALSE(LineSettingsHeld(settings, oneStop, false));
    EXPECT_FALSE(LineSettingsHeld(settings, oneStop, true));

    // What a pseudo-terminal reports: 8 bits, no parity.
    termios eightNone = held;
    eightNone.c_cflag = (eightNone.c_cflag & ~(CSIZE | PARENB)) | CS8;
    EXPECT_FALSE(LineSettingsHeld(settings, eightNone, false));
    EXPECT_TRUE(LineSettingsHeld(settings, eightNone, true));

    termios oddInstead = held;
    oddInstead.c_cflag |= PARODD;
    EXPECT_FALSE(LineSettingsHeld(settings, oddInstead, false));
}

TEST(LineSettingsHeld, NoticesRawModeOrMarkingNotTaken)
{
    const LineSettings settings = *ParseLineSettings("9600,o,8,1");
    termios held{};
    ApplyLineSettings(settings, held);
    ASSERT_TRUE(LineSettingsHeld(settings, held, true));

    const auto changed = [&](auto change) {
        termios other = held;
        change(other);
        return LineSettingsHeld(settings, other, true);
    };
    EXPECT_FALSE(changed([](termios& t) { t.c_iflag &= ~PARMRK; }));
    EXPECT_FALSE(changed([](termios& t) { t.c_iflag &= ~INPCK; }));
    EXPECT_FALSE(changed([](termios& t) { t.c_iflag |= IXON; }));
    EXPECT_FALSE(changed([](termios& t) { t.c_iflag |= ICRNL; }));
    EXPECT_FALSE(changed([](termios& t) { t.c_lflag |= ICANON; }));
    EXPECT_FALSE(changed([](termios& t) { t.c_lflag |= ECHO; }));
    EXPECT_FALSE(changed([](termios& t) { t.c_oflag |= OPOST; }));
    EXPECT_FALSE(changed([](termios& t) { t.c_cflag |= CRTSCTS; }));
    EXPECT_FALSE(changed([](termios& t) { t.c_cflag &= ~CREAD; }));
    EXPECT_FALSE(changed([](termios& t) { t.c_cc[VMIN] = 1; }));
    EXPECT_TRUE(changed([](termios& t) { t.c_cflag |= HUPCL; }));
}

} // namespace
} // namespace quorvane
