#include "ProcessTestSupport.h"
#include "dpipes.h"
#include "winprocess.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include <fcntl.h>

namespace {

using proctest::MessageOf;

// Records the count of every read a seek makes.
class RecordingInputPipe : public TInputPipeStream {
public:
    using TInputPipeStream::TInputPipeStream;
    std::int32_t Read(void* buffer, std::int32_t count) override {
        reads.push_back(count);
        return TInputPipeStream::Read(buffer, count);
    }
    std::vector<std::int32_t> reads;
};

char PatternByte(std::int64_t i) {
    return static_cast<char>(i % 251);
}

struct Pipe {
    HANDLE read = -1, write = -1;
    Pipe() { EXPECT_TRUE(MakePipe(read, write, 1 << 18)); }
    void Put(std::int64_t from, std::int64_t count) {
        std::vector<char> bytes(static_cast<std::size_t>(count));
        for (std::int64_t i = 0; i < count; ++i)
            bytes[static_cast<std::size_t>(i)] = PatternByte(from + i);
        DWORD done = 0;
        ASSERT_TRUE(WriteFile(write, bytes.data(), static_cast<DWORD>(count), &done, nullptr));
    }
    void CloseWriter() {
        CloseHandle(write);
        write = -1;
    }
    ~Pipe() {
        if (write >= 0)
            CloseHandle(write);
    }
};

} // namespace

TEST(PipeStreams, MakePipeEndsAreNotInheritable) {
    HANDLE r = -1, w = -1;
    ASSERT_TRUE(MakePipe(r, w, 1024));
    EXPECT_TRUE(fcntl(static_cast<int>(r), F_GETFD) & FD_CLOEXEC);
    EXPECT_TRUE(fcntl(static_cast<int>(w), F_GETFD) & FD_CLOEXEC);
    {
        TInputPipeStream in(r);
        TOutputPipeStream out(w);
    }
    // Each stream closed its end.
    EXPECT_EQ(fcntl(static_cast<int>(r), F_GETFD), -1);
    EXPECT_EQ(fcntl(static_cast<int>(w), F_GETFD), -1);
}

TEST(PipeStreams, ForwardSeekReadsInChunksAndCountsEveryByte) {
    const struct {
        std::int64_t skip;
        std::vector<std::int32_t> reads;
    } cases[] = {
        {1, {1}},
        {255, {255}},
        {256, {256}},
        {300, {300}},
        {32768, {32768}},
        {32769, {32768, 1}},
        {100000, {32768, 32768, 32768, 1696}},
    };
    for (const auto& c : cases) {
        Pipe pipe;
        pipe.Put(0, c.skip + 1);
        RecordingInputPipe stream(pipe.read);
        pipe.read = -1;
        EXPECT_EQ(stream.Seek(c.skip, soCurrent), c.skip);
        EXPECT_EQ(stream.reads, c.reads) << "skip " << c.skip;
        EXPECT_EQ(stream.Position(), c.skip);
        char next = 0;
        EXPECT_EQ(stream.Read(&next, 1), 1);
        EXPECT_EQ(next, PatternByte(c.skip)) << "skip " << c.skip;
        EXPECT_EQ(stream.Position(), c.skip + 1);
    }
}

TEST(PipeStreams, SeekOriginsAndRefusedSeeks) {
    Pipe pipe;
    pipe.Put(0, 1000);
    RecordingInputPipe stream(pipe.read);
    char buffer[10];
    ASSERT_EQ(stream.Read(buffer, 10), 10);
    stream.reads.clear();

    // Queries read nothing.
    EXPECT_EQ(stream.Seek(std::int64_t{0}, soCurrent), 10);
    EXPECT_EQ(stream.Seek(std::int64_t{10}, soBeginning), 10);
    EXPECT_EQ(stream.Position(), 10);
    EXPECT_TRUE(stream.reads.empty());

    // Backwards and from the end raise, and read nothing.
    for (auto seek : std::vector<std::function<void()>>{
             [&] { stream.Seek(std::int64_t{0}, soEnd); },
             [&] { stream.Seek(std::int64_t{5}, soEnd); },
             [&] { stream.Seek(std::int64_t{-1}, soCurrent); },
             [&] { stream.Seek(std::int64_t{9}, soBeginning); },
             [&] { stream.SetPosition(3); },
             [&] { stream.Size(); },
         }) {
        EXPECT_EQ(MessageOf<EPipeSeek>(seek), "Cannot seek on pipes");
    }
    EXPECT_TRUE(stream.reads.empty());
    EXPECT_EQ(stream.Position(), 10);

    // Setting the position ahead skips; the 32-bit seek widens its offset.
    stream.SetPosition(20);
    EXPECT_EQ(stream.reads, std::vector<std::int32_t>{10});
    EXPECT_EQ(stream.Seek(std::int32_t{30}, std::uint16_t{soBeginning}), 30);
    EXPECT_EQ(
        MessageOf<EPipeSeek>([&] { stream.Seek(std::int32_t{-1}, std::uint16_t{soCurrent}); }),
        "Cannot seek on pipes");
    EXPECT_EQ(stream.Position(), 30);
}

TEST(PipeStreams, ShortSkipRaisesAfterCountingWhatCame) {
    for (const std::int64_t skip : {20, 1000}) {
        Pipe pipe;
        pipe.Put(0, 10);
        RecordingInputPipe stream(pipe.read);
        // The writer is still open: the one read answers the 10 bytes there, and the seek
        // does not read again for the rest.
        EXPECT_EQ(MessageOf<EReadError>([&] { stream.Seek(skip, soCurrent); }),
                  "Stream read error");
        EXPECT_EQ(stream.reads, std::vector<std::int32_t>{static_cast<std::int32_t>(skip)});
        EXPECT_EQ(stream.Position(), 10);

        // Still usable; a writer that has gone leaves reads of 0 and the position alone.
        pipe.Put(10, 5);
        pipe.CloseWriter();
        EXPECT_EQ(MessageOf<EReadError>([&] { stream.Seek(std::int64_t{8}, soCurrent); }),
                  "Stream read error");
        EXPECT_EQ(stream.Position(), 15);
        char c;
        EXPECT_EQ(stream.Read(&c, 1), 0);
        EXPECT_EQ(stream.Position(), 15);
    }
}

TEST(PipeStreams, BytesWaitingNeverConsumes) {
    Pipe pipe;
    TInputPipeStream stream(pipe.read);
    EXPECT_EQ(stream.BytesWaiting(), 0u);
    pipe.Put(0, 123);
    EXPECT_EQ(stream.BytesWaiting(), 123u);
    EXPECT_EQ(stream.BytesWaiting(), 123u);
    EXPECT_EQ(stream.Position(), 0);
}

TEST(PipeStreams, WrongDirectionAndOutputSeeksRaise) {
    Pipe pipe;
    TInputPipeStream in(pipe.read);
    TOutputPipeStream out(pipe.write);
    pipe.write = -1;
    for (const std::int32_t count : {0, 1})
        EXPECT_EQ(MessageOf<EStreamError>([&] { in.Write("x", count); }),
                  "Cannot write to this stream, not implemented");
    for (const std::int32_t count : {0, 1}) {
        char c;
        EXPECT_EQ(MessageOf<EStreamError>([&] { out.Read(&c, count); }),
                  "Cannot read from this stream, not implemented");
    }
    for (auto seek : std::vector<std::function<void()>>{
             [&] { out.Seek(std::int64_t{0}, soCurrent); },
             [&] { out.Seek(std::int64_t{0}, soBeginning); },
             [&] { out.Seek(std::int64_t{0}, soEnd); },
             [&] { out.Seek(std::int32_t{4}, std::uint16_t{soCurrent}); },
             [&] { out.Position(); },
             [&] { out.Size(); },
             [&] { out.SetSize(std::int64_t{0}); },
             [&] { out.SetSize(std::int32_t{0}); },
         }) {
        EXPECT_EQ(MessageOf<EStreamError>(seek), "Invalid seek in TProcess");
        // It is a plain stream error, not a pipe seek error.
        EXPECT_EQ(MessageOf<EPipeSeek>([&] {
                      try {
                          seek();
                      } catch (const EPipeSeek&) {
                          throw;
                      } catch (const EStreamError&) {
                      }
                  }),
                  "<nothing raised>");
    }
}

TEST(PipeStreams, OutputWritesAndAnswersZeroWithoutReader) {
    HANDLE r = -1, w = -1;
    ASSERT_TRUE(MakePipe(r, w, 0));
    TOutputPipeStream out(w);
    {
        TInputPipeStream in(r);
        EXPECT_EQ(out.Write("abc", 3), 3);
        char buffer[3];
        EXPECT_EQ(in.Read(buffer, 3), 3);
    }
    EXPECT_EQ(out.Write("abc", 3), 0); // the reader is gone: no signal, no exception
}
