// kv_multicast_recv: joins one IPv4 multicast group and receives its
// datagrams on a thread of its own into a double buffer.
//
// The receive thread only copies each packet into the next free slot of the
// front buffer, under the lock; the host's thread swaps the buffers (under
// the lock) and then reads the back buffer without it, since the receive
// thread never touches the back buffer.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>
#include "viewer/intake/thread_annotations.h"

class kv_multicast_recv {
 public:
  // One buffer of CAPACITY slots of SLOT_SIZE characters (terminator
  // included).
  struct bufferSt {
    bufferSt(int slotSize, int capacity);
    // Copies TEXT into the next free slot; false (and the full flag set)
    // when all slots are used.
    bool putPacket(const char* text, size_t length);
    // The next unread slot, or null when all have been read.
    const char* getPacket();
    void reset() { writeCount = readIndex = 0; }

    int slotSize;
    int capacity;
    int writeCount = 0;
    int readIndex = 0;
    bool full = false;
    std::vector<char> storage;
  };

  kv_multicast_recv(const char* groupAddress, int portNumber, int slotSize, int capacity);
  ~kv_multicast_recv();
  kv_multicast_recv(const kv_multicast_recv&) = delete;
  kv_multicast_recv& operator=(const kv_multicast_recv&) = delete;

  // Opens and joins the socket and starts the receive thread; a receiver
  // that already runs is left as it is (one thread, one socket).
  void run();
  // Ends the receive thread (shutting the socket down wakes its pending
  // receive; the thread never ends while it holds the lock) and closes the
  // socket. Buffered packets stay.
  void stop();
  bool running() const { return thread_.joinable(); }
  // The local IPv4 address of the interface the group is joined on, used
  // from the next run(). Empty (the default): the default interface and
  // loopback. Tests give "127.0.0.1" so that no membership report leaves
  // the machine.
  void setInterface(const std::string& address) { interface_ = address; }
  const std::string& interfaceAddress() const { return interface_; }

  void swapBuffers();
  // Stores one received packet (what the receive thread does); public so
  // that the buffer rules can be driven without a network.
  void putPacket(const char* text, size_t length);
  // The next packet of the back buffer, or null. Host's thread only.
  const char* getPacket();

  // Packets dropped since construction: front buffer full, or too long for
  // a slot (slot size or more characters).
  uint64_t droppedFull() const { return droppedFull_.load(); }
  uint64_t droppedOversized() const { return droppedOversized_.load(); }
  uint64_t received() const { return received_.load(); }

 private:
  void openSocket();
  void joinGroup();
  void runingThread();

  std::string groupAddress_;
  int portNumber_;
  std::string interface_;
  bufferSt buffers_[2];
  bufferSt* front_ GUARDED_BY(lock_);
  bufferSt* back_;   // host's thread only
  kestrel::Mutex lock_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  int socket_ = -1;
  std::atomic<uint64_t> droppedFull_{0};
  std::atomic<uint64_t> droppedOversized_{0};
  std::atomic<uint64_t> received_{0};
};
