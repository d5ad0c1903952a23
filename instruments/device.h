#pragma once
// The base of every instrument: its port, the connected state, its type code,
// a per-device text log, and raw writes and reads on the port. The ASCII
// command layer of the serial instruments is AsciiCommands, beside it.
//
// Threads: a device is used by the user interface and by its sampling
// thread. Each operation here, and Load, Ping and Close, holds the device's
// lock, so exchanges never interleave. A caller that needs several commands
// to go out as one sequence holds Lock() around them (it is recursive).
// Nothing here throws; failures are return values.
#include <atomic>
#include <cstdint>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "instruments/serial_port.h"

namespace ORV {

// The type codes of the instrument kinds.
enum DeviceType : std::uint32_t {
  kDeviceSinglePressureInterface = 1,
  kDeviceFlowMeter = 2,
  kDeviceMultiInterface = 8,
  kDeviceMicroscope = 16,
  kDeviceHeatController = 32,
};

class Device {
 public:
  // Waits the given milliseconds; drivers make their fixed pauses through it.
  using Sleeper = std::function<void(std::uint32_t ms)>;

  static constexpr std::uint32_t kDefaultTimeout = SerialPort::kDefaultTimeout;
  static constexpr std::uint32_t kReadSize = 255;

  explicit Device(std::uint32_t typeCode);
  virtual ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  // Opens the instrument on a port name or device path and checks it;
  // returns whether it is connected.
  bool Load(const std::string& port);
  // Asks the instrument for its identity and checks the answer.
  bool Ping();
  // Logs and closes an open port, closes the log, clears the connected flag.
  void Close();
  bool IsConnected() const { return connected_.load(); }

  // Opens the log file at `path`, truncating it; returns whether logging is on.
  bool OpenLog(const std::string& path);
  // The drivers' log convention: when `debug` (the configuration's Debug
  // switch) is on, OpenLog on `fileName` in the temporary folder; otherwise
  // logging stays off.
  bool OpenDebugLog(bool debug, std::string_view fileName);
  bool IsLogging() const;

  // Raw port access. Each returns false when the port has no handle.
  // Writes exactly the given bytes.
  bool SendRawData(const std::uint8_t* data, std::size_t count);
  // Reads one reply of up to kReadSize bytes; true when at least one byte came.
  bool ReadData(std::vector<std::uint8_t>& buffer);
  // Logs whether the port at `name` is open.
  void LogPortOpen(const std::string& name);
  // The event-log entries of a driver's Load, led by "<who>::Load() - ":
  // the port would not open (with the port's last error), or it opened with
  // the given time-out.
  void LogOpenFailed(std::string_view who, const std::string& port);
  void LogOpened(std::string_view who, const std::string& port, std::int32_t timeout);

  std::recursive_mutex& Lock() const { return lock_; }
  SerialPort& Port() { return port_; }
  std::uint32_t TypeCode() const { return typeCode_; }
  std::string PortName() const;
  void SetPortName(const std::string& name);

  // The port time-out in milliseconds that the caller (the interface
  // manager, from the configuration) gives before Load; 0 or below leaves
  // the driver's default.
  void SetTimeout(std::int32_t ms);
  std::int32_t Timeout() const;
  // A given time-out: above 0 as it is, else the device's default (500 ms).
  std::uint32_t ResolveTimeout(std::int32_t configured) const;

  // Replaces the real sleep of the fixed waits (tests record them instead).
  void SetSleeper(Sleeper sleeper);
  // How many set commands went out to the instrument so far (acknowledged
  // or not). A sampling worker that sees it change reads the instrument's
  // settings (targets, switches) again at its next cycle rather than at its
  // slower turn, so a reading after a command carries the new settings.
  std::uint32_t SettingsSent() const { return settingsSent_.load(); }

 protected:
  // What each instrument supplies; called with the lock held.
  virtual bool OnLoad(const std::string& port) = 0;
  virtual bool OnPing() = 0;
  // The base close; an instrument that must say goodbye first overrides it
  // and calls Device::OnClose at the end.
  virtual void OnClose();

  // What a serial driver's Load does, written once; each driver gives its
  // row. The texts of the event log are led by "<who>::Load() - ".
  struct SerialOpening {
    std::string_view who;
    std::uint32_t baud = 9600;
    std::int32_t timeout = 0;  // as the driver resolved it; the port keeps it
    // The port's time-out while the check talks to the instrument, when that
    // differs from `timeout` (0: `timeout`). Once the instrument answered,
    // the port is then closed and opened afresh with `timeout`, which also
    // drops whatever the instrument sent meanwhile.
    std::int32_t checkTimeout = 0;
    // A port an earlier load left open is closed and opened again (else it
    // is kept).
    bool reopen = false;
    int openAttempts = 1;
    std::uint32_t openRetryMs = 0;  // the pause between two attempts
    // The device's own log says whether the port opened.
    bool logPortOpen = false;
    // The "Opened port" entry names the time-out.
    bool logTimeout = true;
    // An event-log error when the port cannot be configured.
    bool logConfigureFailure = false;
    std::uint32_t settleMs = 0;  // the pause between configuring and the check
    // True when the instrument answered as itself (a ping, and what else
    // the driver reads at once).
    std::function<bool()> check;
    // The event-log error when the port opened but the instrument did not
    // answer ("" for none).
    std::string_view failed;
  };
  // Opens (or keeps) the port, logs, configures it with the row's time-out,
  // settles, checks, and closes the port again when the check fails (or
  // when the port opened afresh after the check does not open); returns
  // whether the instrument is connected.
  bool OpenSerial(const std::string& port, const SerialOpening& row);

  void SetConnected(bool connected) { connected_.store(connected); }
  // Writes one line (a line feed is added) and flushes it, when logging is on.
  void WriteLog(std::string_view line);
  // A fixed pause through the sleeper.
  void Wait(std::uint32_t ms);
  // A set command went out (see SettingsSent).
  void NoteSettingSent() { settingsSent_.fetch_add(1); }

 private:
  friend class AsciiCommands;

  // Writes all `count` bytes (the lock held, the port open); a failed or
  // short write is logged, the text led by `logLead`.
  bool WriteAll(const std::uint8_t* data, std::size_t count, std::string_view logLead);

  mutable std::recursive_mutex lock_;
  std::atomic<bool> connected_{false};
  SerialPort port_;
  std::string portName_;
  const std::uint32_t typeCode_;
  std::ofstream log_;
  Sleeper sleeper_;
  std::atomic<std::int32_t> timeout_{0};
  std::atomic<std::uint32_t> settingsSent_{0};
};

}  // namespace ORV
