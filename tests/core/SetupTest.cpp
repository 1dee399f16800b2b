#include "SetupText.h"

#include <gtest/gtest.h>

using namespace quorvane;
// The test base class has a member named Setup, which would hide the record.
using Record = quorvane::Setup;

namespace {

// The text of the default record as version 1 wrote it: pins every key name,
// so files written then keep opening.
const std::string kDefaultText = "[quorvane]\nversion=1\n"
                                 "[frame]\nStartByte=00\nSlaveAddr=\nCmdByte=\nEndByte=FF\n"
                                 "LenOption=1\nFcsOption=1\nFcsMethod=0\nFcsStart=0\n"
                                 "FcsByteOrder=1\nPreprocessOn=0\nPreprocessKind=0\n"
                                 "[receive]\nRcvTimeoutMs=50\nRcvMaxChars=150\nCheckReply=0\n"
                                 "ShowMillis=0\n"
                                 "[send]\nmode=0\nformat=1\ninterval=100\nencoding=0\n"
                                 "linebreak=0\ntext=\n"
                                 "[port]\nport=2\nbaud=9600\nparity=n\ndatabits=8\nstopbits=1\n"
                                 "handshake=0\ndtr=1\nrts=1\n"
                                 "[display]\nsend=1\nreceive=1\n"
                                 "[commands]\ncount=0\n";

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// The default record as version 2 writes it: 超时后继续, the sequence, the
// chart's panes and fields, RS-485 direction control and the automatic
// answers added.
const std::string kVersion2Text = Replaced(
    Replaced(Replaced(Replaced(kDefaultText, "version=1", "version=2"), "ShowMillis=0\n",
                      "ShowMillis=0\nContinueAfterTimeout=0\n"),
             "[commands]",
             "[sequence]\nrounds=1\nstoponfail=0\n"
             "[chart]\nresponse=1\nhistogram=0\nthroughput=0\nvalues=1\nfields=0\n[commands]"),
    "rts=1\n", "rts=1\nrs485=0\nrs485rtshigh=1\nrs485before=0\nrs485after=0\n") +
    "[answers]\nenabled=0\ncount=0\n";

const std::string kOneField = "fields=1\n1.name=温度\n1.unit=℃\n1.area=1\n1.offset=0\n1.width=2\n"
                              "1.signed=1\n1.highfirst=1\n1.scale=0.1\n1.shift=-40\n";

std::string Repeated(const std::string& piece, std::size_t times)
{
    std::string out;
    for (std::size_t i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

TEST(Setup, DefaultsAreTheStartupDefaults)
{
    SharedSettings startup;
    startup.frame = FrameTemplate{"12", "34", "56", 0, 0, "78"};
    startup.RcvTimeoutMs = 7;
    ApplyStartupDefaults(startup);
    Record collected;
    collected.LineBreak = BreakCr;
    CollectSharedSettings(startup, collected);
    EXPECT_EQ(collected, Record{});
    // The port dialog's start: COM2, 9600, 8 data bits, no parity, 1 stop bit.
    const Record s;
    EXPECT_EQ(std::tie(s.Port, s.BaudRate, s.DataBits, s.Parity, s.StopBits),
              std::tuple(2, 9600, 8, 'n', std::string("1")));
    EXPECT_EQ(WriteSetupText(s), kVersion2Text);

    SharedSettings applied;
    ApplySharedSettings(Record{}, applied);
    Record again;
    CollectSharedSettings(applied, again);
    EXPECT_EQ(again, Record{});
    EXPECT_TRUE(applied.FrameDirty);
}

TEST(Setup, EveryFieldSurvivesTheRoundTrip)
{
    const std::string nasty = "  line one\r\nline two\n\t= ; # [x] \\ \\n 中文 €  ";
    Record s;
    s.StartByte = "68";
    s.SlaveAddr = "1 2";
    s.CmdByte = "7 f";
    s.EndByte = "0FF";
    s.LenOption = 0;
    s.FcsOption = 0;
    s.FcsMethod = FcsSum16;
    s.FcsStart = 2;
    s.FcsByteOrder = FcsLowFirst;
    s.PreprocessOn = 1;
    s.PreprocessKind = 1;
    s.RcvTimeoutMs = 65535;
    s.RcvMaxChars = 2147483647;
    s.CheckReply = s.ShowMillis = true;
    s.opt1 = 1;
    s.opt2 = 0;
    s.IntervalMs = 0;
    s.TextEncoding = EncodingUtf8;
    s.LineBreak = BreakLf;
    s.Port = 16;
    s.BaudRate = 4000000;
    s.Parity = 'e';
    s.DataBits = 4;
    s.StopBits = "1.5";
    s.Handshaking = 2;
    s.Dtr = s.Rts = false;
    s.Rs485 = true;
    s.Rs485RtsHigh = false;
    s.Rs485BeforeMs = 1000;
    s.Rs485AfterMs = 7;
    s.SendViewMode = 3;
    s.ReceiveViewMode = 0;
    s.SendText = nasty + std::string(1, '\0') + "\x7f";
    s.Commands = {{nasty.substr(2, 8), nasty, 0},
                  {"读=写;", "", 2, {ExpectKind::Bytes, "01 03 ?? *"}, 65535, 7},
                  {"\\", "\\\\", 1, {ExpectKind::Silence, "; # \\"}, 0, 65535}};
    s.ContinueAfterTimeout = true;
    s.SequenceRounds = 1000000;
    s.StopOnFail = true;
    s.AnswersEnabled = true;
    s.Answers = {{false, "读=;", AnswerRule::Match::Pattern, "01 03 ?? *", AnswerRule::Reply::Frame,
                  "$1 02 00 2A", 65535},
                 {true, "帧", AnswerRule::Match::CheckedFrame, "", AnswerRule::Reply::Hex, "AA", 0}};
    s.ChartResponse = s.ChartValues = false;
    s.ChartHistogram = s.ChartThroughput = true;
    s.ChartFields = {{"温度", "℃", FieldArea::DataArea, 0, 2, true, true, 0.1, -40},
                     {nasty.substr(2, 8), "", FieldArea::Reception, 65535, 4, false, false, 1e-06,
                      123456.789}};
    const std::string text = WriteSetupText(s);
    const SetupReading back = ReadSetupText(text);
    ASSERT_TRUE(back.setup) << back.problem;
    EXPECT_EQ(*back.setup, s);
    EXPECT_EQ(SetupSaveProblem(s), "");
    EXPECT_NE(text.find("1.name=line one\n"), std::string::npos);
    EXPECT_NE(text.find("text=\\s\\sline one\\r\\nline two\\n\\t= ; # [x] \\\\ \\\\n 中文 €\\s\\s"),
              std::string::npos);
}

TEST(Setup, HandEditedFileReadsTheSame)
{
    std::string text = "\xEF\xBB\xBF; saved by hand\r\n" + kDefaultText;
    text = Replaced(text, "baud=9600\n", "  baud =\t0009600 \r\n\n# fast\n");
    text = Replaced(text, "StartByte=00\n", "StartByte=\\s 00\n");
    const SetupReading r = ReadSetupText(text);
    ASSERT_TRUE(r.setup) << r.problem;
    EXPECT_EQ(*r.setup, Record{});
}

TEST(Setup, BadFilesAreRefusedWhole)
{
    const std::string withCommands =
        Replaced(kDefaultText, "count=0\n", "count=2\n1.name=a\n1.text=b\n1.format=1\n2.name=c\n");
    const std::string tooMany = Replaced(kDefaultText, "count=0\n", "count=1001\n");
    struct Row {
        std::string text;
        const char* problem;
    };
    const Row rows[] = {
        {"", "不是Quorvane配置文件"},
        {"\x89PNG\r\n\x1a\n", "不是Quorvane配置文件"},
        {"[quorvane]\n[frame]\n", "缺少版本号"},
        {Replaced(kDefaultText, "version=1", "version=7"), "不支持的版本 7"},
        {kDefaultText.substr(0, kDefaultText.find("[display]")), "缺少节 [display]"},
        {Replaced(kDefaultText, "dtr=1\n", ""), "[port] 缺少 dtr"},
        {withCommands, "[commands] 缺少 2.text"},
        {Replaced(withCommands, "count=2", "count=1"), "[commands] 未知的键 2.name"},
        {Replaced(kDefaultText, "baud=9600", "baud=5000001"),
         "[port] baud=5000001 超出范围(50-4000000)"},
        {Replaced(kDefaultText, "port=2", "port=0"), "[port] port=0 超出范围(1-16)"},
        {Replaced(kDefaultText, "FcsMethod=0", "FcsMethod=11"),
         "[frame] FcsMethod=11 超出范围(0-10)"},
        {Replaced(kDefaultText, "RcvMaxChars=150", "RcvMaxChars=99999999999999999999999"),
         "[receive] RcvMaxChars=99999999999999999999999 超出范围(0-2147483647)"},
        {Replaced(kDefaultText, "dtr=1", "dtr=2"), "[port] dtr=2 超出范围(0-1)"},
        {Replaced(kDefaultText, "interval=100", "interval=-1"), "[send] interval=-1 不是整数"},
        {Replaced(kDefaultText, "baud=9600", "baud=96 00"), "[port] baud=96 00 不是整数"},
        {Replaced(kDefaultText, "parity=n", "parity=N"), "[port] parity=N 无效(n/o/e)"},
        {Replaced(kDefaultText, "stopbits=1", "stopbits=1.0"), "[port] stopbits=1.0 无效(1/1.5/2)"},
        {Replaced(kDefaultText, "StartByte=00", "StartByte=1FF"),
         "[frame] StartByte=1FF 超出字节范围"},
        {Replaced(kDefaultText, "StartByte=00", "StartByte=GG"),
         "[frame] StartByte=GG 不是十六进制字节"},
        {Replaced(kDefaultText, "text=", "text=\\q"), "[send] text 转义无效"},
        {Replaced(kDefaultText, "text=", "text=" + std::string(8193, 'a')),
         "发送数据超过8192个字符"},
        {Replaced(kDefaultText, "text=", "text=a" + Repeated("\xF0\x9F\x98\x80", 4096)),
         "发送数据超过8192个字符"},
        {tooMany, "命令过多(超过1000条)"},
        {Replaced(withCommands, "2.name=c", "1001.name=c"), "命令过多(超过1000条)"},
        {Replaced(withCommands, "1.name=a", "1.name="), "[commands] 1.name 为空"},
        {kDefaultText + ";" + std::string(kSetupMaxFileBytes - kDefaultText.size(), 'x'),
         "文件过大"},
        {Replaced(kDefaultText, "rts=1\n", "rts=1\nbaud=9600\n"), "[port] baud 重复"},
        {Replaced(kDefaultText, "[port]", "[port]\n[frame]"), "节 [frame] 重复"},
        {Replaced(kDefaultText, "baud=", "bauds="), "[port] 未知的键 bauds"},
        {Replaced(kDefaultText, "[display]", "[device]\npath=/dev/ttyS0"), "未知的节 [device]"},
        {Replaced(kDefaultText, "[display]", "garbage\n[display]"), "第 36 行无法识别"},
        {Replaced(kDefaultText, "rts=1", "rts=\xC0\x80"), "第 35 行不是UTF-8文本"},
        // Version 2: a step's pattern that cannot be read; version 1 knows no sequences.
        {Replaced(kVersion2Text, "count=0\n",
                  "count=1\n1.name=a\n1.text=1\n1.format=1\n1.expect=2\n1.pattern=01 0G\n"
                  "1.timeout=0\n1.wait=0\n"),
         "[commands] 1.pattern=01 0G 0G 不是十六进制字节"},
        {Replaced(kVersion2Text, "count=0\n",
                  "count=1\n1.name=a\n1.text=1\n1.format=1\n1.expect=2\n1.pattern=* 01\n"
                  "1.timeout=0\n1.wait=0\n"),
         "[commands] 1.pattern=* 01 * 只能在最后"},
        {Replaced(kVersion2Text, "rounds=1\n", ""), "[sequence] 缺少 rounds"},
        {Replaced(kVersion2Text, "rs485after=0", "rs485after=1001"),
         "[port] rs485after=1001 超出范围(0-1000)"},
        {Replaced(kDefaultText, "rts=1\n", "rts=1\nrs485=1\n"), "[port] 未知的键 rs485"},
        {Replaced(kDefaultText, "[display]", "[sequence]\nrounds=1\n[display]"),
         "未知的节 [sequence]"},
        {Replaced(withCommands, "1.format=1\n", "1.format=1\n1.wait=5\n"),
         "[commands] 未知的键 1.wait"},
        // 自动应答: a rule that cannot be read refuses the whole file.
        {Replaced(kVersion2Text, "[answers]\nenabled=0\ncount=0\n",
                  "[answers]\nenabled=1\ncount=1\n1.enabled=1\n1.name=a\n1.match=0\n"
                  "1.pattern=01\n1.reply=0\n1.text=$0\n1.delay=0\n"),
         "[answers] 规则 1 回复: $0 不是请求中的字节"},
        {Replaced(kVersion2Text, "[answers]\nenabled=0\n", "[answers]\n"), "[answers] 缺少 enabled"},
        // The chart's fields: each key there, each value of its kind, the field usable.
        {Replaced(kVersion2Text, "values=1\n", ""), "[chart] 缺少 values"},
        {Replaced(kVersion2Text, "fields=0\n", ""), "[chart] 缺少 fields"},
        {Replaced(kVersion2Text, "fields=0\n", "fields=9\n"), "[chart] fields=9 超出范围(0-8)"},
        {Replaced(kVersion2Text, "fields=0\n", Replaced(kOneField, "1.shift=-40\n", "")),
         "[chart] 缺少 1.shift"},
        {Replaced(kVersion2Text, "fields=0\n", Replaced(kOneField, "width=2", "width=3")),
         "[chart] 字段 1 宽度应为1、2或4"},
        {Replaced(kVersion2Text, "fields=0\n", Replaced(kOneField, "scale=0.1", "scale=0,1")),
         "[chart] 1.scale=0,1 不是数"},
        {Replaced(kVersion2Text, "fields=0\n", Replaced(kOneField, "scale=0.1", "scale=inf")),
         "[chart] 1.scale=inf 不是数"},
        {Replaced(kVersion2Text, "fields=0\n", Replaced(kOneField, "1.name=温度", "1.name=")),
         "[chart] 字段 1 名称为空"},
        {Replaced(kVersion2Text, "fields=0\n", Replaced(kOneField, "offset=0", "offset=65536")),
         "[chart] 1.offset=65536 超出范围(0-65535)"},
        {Replaced(kVersion2Text, "fields=0\n", kOneField + "2.name=x\n"),
         "[chart] 未知的键 2.name"},
        {Replaced(kDefaultText, "[commands]", "[chart]\nfields=0\n[commands]"),
         "未知的节 [chart]"},
    };
    for (const Row& row : rows) {
        const SetupReading r = ReadSetupText(row.text);
        EXPECT_FALSE(r.setup) << row.problem;
        EXPECT_EQ(r.problem, row.problem);
    }
}

// A protocol, 模拟从站 and its tables go into a [protocol] section of
// version 3; a setup without them is written as before, as version 2.
TEST(Setup, TheProtocolAndItsTablesSurviveTheRoundTripAsVersion3)
{
    Record plain;
    EXPECT_NE(WriteSetupText(plain).find("version=2\n"), std::string::npos);
    EXPECT_EQ(WriteSetupText(plain).find("[protocol]"), std::string::npos);

    Record s;
    s.Protocol = {ProtocolDlt645, 17, "000000001234", false};
    s.Simulate = true;
    s.Tables.registers = {{0, 0}, {2, 65535}, {10, 7}};
    s.Tables.coils = {{5, true}, {65535, false}};
    s.Tables.meter = {{0x00010000, "1234.56"}, {0x04000102, "12:30:00"}};
    s.ChartFields = {{"寄存器 3", "", FieldArea::Decoded, 0, 2, false, true, 0.1, 0}};
    const std::string text = WriteSetupText(s);
    EXPECT_NE(text.find("version=3\n"), std::string::npos);
    EXPECT_NE(text.find("register.2=65535\nregister.10=7\n"), std::string::npos);
    const SetupReading back = ReadSetupText(text);
    ASSERT_TRUE(back.setup) << back.problem;
    EXPECT_EQ(*back.setup, s); // the tables in address order, however the keys came

    struct Row {
        std::string text;
        std::string problem;
    };
    const std::vector<Row> rows = {
        {Replaced(text, "version=3", "version=2"), "未知的节 [protocol]"},
        {Replaced(text, "meter=000000001234", "meter=00000000123"),
         "[protocol] meter=00000000123 表地址应为 12 位数字或 AAAAAAAAAAAA"},
        {Replaced(text, "slave=17", "slave=248"), "[protocol] slave=248 超出范围(1-247)"},
        {Replaced(text, "kind=3", "kind=4"), "[protocol] kind=4 超出范围(0-3)"},
        {Replaced(text, "register.10=7", "register.10=65536"),
         "[protocol] register.10=65536 超出范围(0-65535)"},
        {Replaced(text, "register.10=7", "register.02=7"), "[protocol] 寄存器重复"},
        {Replaced(text, "register.10=7", "register.x=7"), "[protocol] 未知的键 register.x"},
        {Replaced(text, "meter.00010000", "meter.0001000G"), "[protocol] 未知的键 meter.0001000G"},
        {Replaced(text, "simulate=1\n", ""), "[protocol] 缺少 simulate"},
        {Replaced(text, "simulate=1\n", "simulate=1\nport=3\n"), "[protocol] 未知的键 port"},
    };
    for (const Row& row : rows) {
        const SetupReading r = ReadSetupText(row.text);
        EXPECT_FALSE(r.setup) << row.problem;
        EXPECT_EQ(r.problem, row.problem);
    }
}

} // namespace
