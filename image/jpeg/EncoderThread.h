#pragma once
// A JPEG encode of a picture's rows as they are made, on a thread of its
// own: the thread that makes them (the window's, which handles its messages
// after every row) hands them over by count and never waits for the
// encoder. The bytes go to a sink; a failure of the encode is kept until the
// caller asks for the result.

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>

#include "core/ByteStream.h"
#include "image/jpeg/JpegCodec.h"
#include "image/picture/Picture.h"

namespace sw::jpeg {

class EncoderThread {
 public:
  // Starts the encode of `picture` (display-compatible, not empty, its rows
  // unchanged once made) into `sink`, progressive or not. It keeps a copy,
  // which shares the store, so the caller may hand the picture on. Raises
  // the resource error when the system gives no thread.
  EncoderThread(const Picture& picture, bool progressive, ByteSink& sink);
  // Abandons the encode where it stands and joins the thread.
  ~EncoderThread();
  EncoderThread(const EncoderThread&) = delete;
  EncoderThread& operator=(const EncoderThread&) = delete;

  // Rows 0 .. rows - 1 of the picture are made.
  void RowsComplete(int32_t rows);
  // Waits until every row is encoded and the file is finished; raises the
  // encode's failure, if it had one.
  void Wait();

 private:
  void Encode();
  bool EncodeRows(int32_t& next, int32_t end);

  const Picture picture_;
  const bool progressive_;
  RowEncoder encoder_;
  std::mutex mutex_;
  std::condition_variable woken_;
  // With the mutex held:
  int32_t complete_ = 0;
  int32_t wanted_ = 0;  // the encoder waits for the rows before this one
  bool waiting_ = false;
  bool stop_ = false;
  std::exception_ptr failure_;
  std::thread thread_;
};

}  // namespace sw::jpeg
