#include <gtest/gtest.h>

#include <string>

#include "link/codec.h"

using namespace etc::link;

namespace {

Bytes hex(const std::string& s) {
    Bytes out;
    for (std::size_t i = 0; i < s.size(); i += 3)
        out.push_back(static_cast<std::uint8_t>(std::stoi(s.substr(i, 2), nullptr, 16)));
    return out;
}

struct FrameCase {
    const char* name;
    Bytes built;
    const char* expected;
};

TEST(Codec, RequestFramesMatchTheWorkedExamples) {
    const Bytes payloadE{0x00, 0x28, 0x02, 0x1E};
    const FrameCase cases[] = {
        {"access level query", request::accessLevels(), "61 41 42 43 44 6B"},
        {"block read 24/11", request::blockRead(24, 11), "5A 00 18 00 0B 7D"},
        {"calibration step 10", request::calibration(10), "71 41 42 43 0A 41"},
        {"set level 1/2", request::setAccessLevel(1, 2), "41 01 02 44"},
        {"set level 5/3", request::setAccessLevel(5, 3), "41 05 03 49"},
        {"block write 4 bytes at 22", request::blockWrite(request::blockWritePayload(22, payloadE)),
         "45 00 04 00 16 00 28 02 1E A7"},
        {"block write N = 0", request::blockWrite(request::blockWritePayload(22, {})), "45 00 00 00 16 5B"},
        {"cell write B", request::cellWrite('B', request::cellWritePayload(5, 40, 11)), "42 00 05 28 0B 7A"},
        {"cell write C", request::cellWrite('C', request::cellWritePayload(5, 40, 11)), "43 00 05 28 0B 7B"},
        {"password padded", request::password('p', "abcd"), "70 61 62 63 64 30 30 30 30 30 30 1A"},
        {"password ten", request::password('P', "ABCDEFGHIJ"), "50 41 42 43 44 45 46 47 48 49 4A 07"},
        {"version", request::version(), "56"},
        {"high speed", request::highSpeed(), "47"},
        {"serial", request::serialNumber(), "53"},
        {"poll", request::livePoll(), "2A"},
        {"lock", request::lock(), "4C"},
        {"closing", request::closing(), "52"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.built, hex(c.expected)) << c.name;
}

TEST(Codec, BlockReplyLengthIsTwoBytesPerWordPlusTwo) {
    EXPECT_EQ(blockReplyLength(11), 24u);
}

TEST(Codec, EBlockChecksumCountComesFromTheLengthBytes) {
    // A payload claiming two data bytes but carrying three: the frame is N + 6 bytes and its checksum
    // covers letter, length, address and the two claimed bytes.
    const Bytes payload{0x00, 0x02, 0x00, 0x10, 0x01, 0x02, 0x03};
    const Bytes frame = request::blockWrite(payload);
    ASSERT_EQ(frame.size(), 8u);
    EXPECT_EQ(Bytes(frame.begin(), frame.end() - 1), (Bytes{'E', 0x00, 0x02, 0x00, 0x10, 0x01, 0x02}));
    EXPECT_EQ(frame.back(), Sum8(ByteView(frame).first(7)));
}

struct WordCase {
    const char* name;
    int value;
    const char* bytes;
    int decodesTo;
};

TEST(Codec, SixteenBitEncodings) {
    const WordCase signMag[] = {
        {"300", 300, "01 2C", 300},
        {"-300", -300, "81 2C", -300},
        {"max", 32767, "7F FF", 32767},
        {"-max", -32767, "FF FF", -32767},
        {"zero", 0, "00 00", 0},
        // -32768 does not fit: the high byte 256 keeps its low 8 bits.
        {"-32768 wraps", -32768, "00 00", 0},
        // A non-negative value of 32768 or more gives the Int16BE bytes of the negative number.
        {"40000 overlaps", 40000, "9C 40", -(0x9C40 - 32768)},
    };
    for (const auto& c : signMag) {
        const auto b = SignMag16::encode(c.value);
        EXPECT_EQ(Bytes(b.begin(), b.end()), hex(c.bytes)) << "SignMag16 " << c.name;
        EXPECT_EQ(SignMag16::decode(b[0], b[1]), c.decodesTo) << "SignMag16 " << c.name;
    }
    EXPECT_EQ(SignMag16::decode(0x80, 0x00), 0) << "negative zero";

    const WordCase int16[] = {{"-2", -2, "FF FE", -2},
                              {"min", -32768, "80 00", -32768},
                              {"max", 32767, "7F FF", 32767},
                              {"1", 1, "00 01", 1}};
    for (const auto& c : int16) {
        const auto b = Int16BE::encode(c.value);
        EXPECT_EQ(Bytes(b.begin(), b.end()), hex(c.bytes)) << "Int16BE " << c.name;
        EXPECT_EQ(Int16BE::decode(b[0], b[1]), c.decodesTo) << "Int16BE " << c.name;
    }

    const WordCase uint16[] = {{"max", 65535, "FF FF", 65535}, {"1000", 1000, "03 E8", 1000}};
    for (const auto& c : uint16) {
        const auto b = UInt16BE::encode(c.value);
        EXPECT_EQ(Bytes(b.begin(), b.end()), hex(c.bytes)) << "UInt16BE " << c.name;
        EXPECT_EQ(UInt16BE::decode(b[0], b[1]), c.decodesTo) << "UInt16BE " << c.name;
    }
}

TEST(Codec, ByteEncodingAndSignedDecoding) {
    EXPECT_EQ(Byte8::encode(-3), 0xFD);
    EXPECT_EQ(Byte8::encode(200), 0xC8);
    EXPECT_EQ(Byte8::encode(-128), 0x80);
    EXPECT_EQ(Byte8::decodeSigned(0xFD), -3);
    EXPECT_EQ(Byte8::decodeSigned(0x7F), 127);
    EXPECT_EQ(Byte8::decodeUnsigned(0xFD), 253);
}

TEST(Codec, ReplyCheckAndText) {
    struct Case {
        const char* name;
        const char* bytes;
        bool passes;
        const char* text;
    };
    const Case cases[] = {
        {"serial reply", "53 31 32 33 34 35 36 88", true, "123456"},
        {"A OK", "41 4F 4B DB", true, "OK"},
        {"bad checksum", "53 31 32 33 34 35 36 89", false, "123456"},
        {"stray byte behind", "41 4F 4B DB 00", false, nullptr},
        {"long version", "56 31 45 41 31 41 42 31 41 41 58 CC", true, "1EA1AB1AAX"},
    };
    for (const auto& c : cases) {
        const Bytes b = hex(c.bytes);
        EXPECT_EQ(replyCheck(b), c.passes) << c.name;
        if (c.text) {
            EXPECT_EQ(replyText(b), c.text) << c.name;
        }
    }
    EXPECT_FALSE(replyCheck(Bytes{}));
    EXPECT_FALSE(replyCheck(Bytes{0x00}));
}

TEST(Codec, VersionReplyOfMinimumLengthCarriesNineCharacters) {
    Bytes reply{'V'};
    for (char c : std::string("1EA1AB1AA"))
        reply.push_back(static_cast<std::uint8_t>(c));
    reply.push_back(Sum8(reply));
    ASSERT_EQ(reply.size(), kVersionReplyMin);
    EXPECT_TRUE(replyCheck(reply));
    EXPECT_EQ(replyText(reply), "1EA1AB1AA");
}

TEST(Codec, PairedCellAddress) {
    EXPECT_EQ(PairedCellAddress(5, 1, 24), 26);
    EXPECT_EQ(PairedCellAddress(0, 1, 24), 24);
    EXPECT_EQ(PairedCellAddress(1, 1, 24), 24);
    EXPECT_EQ(PairedCellAddress(20, 1, 100), 110);
    EXPECT_EQ(PairedCellAddress(3, 2, 24), 33);
}

TEST(Codec, WireTimeIsTenBitsPerByte) {
    EXPECT_EQ(wireTimeNs(66, 115200), 5'729'166);
    EXPECT_EQ(wireTimeNs(1, 9600), 1'041'666);
}

}  // namespace
