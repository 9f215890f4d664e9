// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/service/snmp/SnmpAgent.h"

#include "app/service/ServiceLog.h"

#include <QSocketNotifier>

#include <algorithm>
#include <csignal>
#include <set>
#include <vector>

// net-snmp's headers define short macros of their own: after every other header, and the
// configuration first.
// clang-format off
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/agent/net-snmp-agent-includes.h>
#include <net-snmp/library/large_fd_set.h>
// clang-format on

namespace vemo::service {

namespace {

constexpr const char* kAppName = "vemoswrd";
// Requests this close together share one derivation of the rows; no reading interval is
// shorter, so a value served is never more than one reading behind.
constexpr qint64 kCellsFreshMs = 100;
// net-snmp's timers are looked at at least this often.
constexpr int kMaxSleepMs = 1000;

// Under the enterprise: .1 objects (.1.1 the table, .1.1.1 its entry, .1.2 what
// notifications carry), .0 notifications.
std::vector<oid> Root(unsigned enterprise) {
  return {1, 3, 6, 1, 4, 1, enterprise};
}
std::vector<oid> Under(std::vector<oid> base, std::initializer_list<oid> tail) {
  base.insert(base.end(), tail);
  return base;
}

// While no master listens, every attempt to attach says so again: once is enough, until
// something else is said.
int LogFromNetSnmp(int, int, void* serverArg, void*) {
  static std::string previous;
  const auto* m = static_cast<const snmp_log_message*>(serverArg);
  if (!m || !m->msg || m->priority > LOG_INFO) return 0;
  std::string text(m->msg);
  while (!text.empty() &&
         (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == ':'))
    text.pop_back();
  if (text.empty() || text == previous) return 0;
  previous = text;
  LogLine(m->priority <= LOG_ERR       ? "error"
          : m->priority <= LOG_WARNING ? "warning"
                                       : "info",
          "snmp: " + text);
  return 0;
}

void SetValue(netsnmp_variable_list* var, const SnmpCell& cell) {
  if (cell.IsText) {
    snmp_set_var_typed_value(var, ASN_OCTET_STR, cell.Text.data(), cell.Text.size());
  } else if (cell.IsUnsigned) {
    const u_long v = static_cast<u_long>(std::max(0, cell.Integer));
    snmp_set_var_typed_value(var, ASN_GAUGE, &v, sizeof v);
  } else {
    const long v = cell.Integer;
    snmp_set_var_typed_value(var, ASN_INTEGER, &v, sizeof v);
  }
}

// Where a requested name lies against the table's entry: before it, inside it (with the
// sub-identifiers after it), or past it.
enum class Place { Before, Inside, After };
Place Locate(const netsnmp_variable_list* var, const std::vector<oid>& entry,
             std::vector<std::uint32_t>& suffix) {
  const size_t common = std::min<size_t>(var->name_length, entry.size());
  for (size_t i = 0; i < common; ++i)
    if (var->name[i] != entry[i]) return var->name[i] < entry[i] ? Place::Before : Place::After;
  if (var->name_length < entry.size()) return Place::Before;
  suffix.clear();
  for (size_t i = entry.size(); i < var->name_length; ++i)
    suffix.push_back(static_cast<std::uint32_t>(std::min<oid>(var->name[i], UINT32_MAX)));
  return Place::Inside;
}

struct Registration {
  SnmpAgent* agent = nullptr;
  std::vector<oid> entry;
};

int HandleTable(netsnmp_mib_handler* handler, netsnmp_handler_registration*,
                netsnmp_agent_request_info* info, netsnmp_request_info* requests) {
  const auto* reg = static_cast<const Registration*>(handler->myvoid);
  const std::vector<SnmpCell>& cells = reg->agent->Cells();
  std::vector<std::uint32_t> suffix;
  for (netsnmp_request_info* r = requests; r; r = r->next) {
    if (r->processed) continue;
    netsnmp_variable_list* var = r->requestvb;
    const Place place = Locate(var, reg->entry, suffix);
    if (info->mode == MODE_GET) {
      const SnmpCell* cell = place == Place::Inside ? FindCell(cells, suffix) : nullptr;
      if (cell)
        SetValue(var, *cell);
      else
        netsnmp_set_request_error(info, r, SNMP_NOSUCHINSTANCE);
    } else if (info->mode == MODE_GETNEXT) {
      if (place == Place::After) continue;  // unanswered: the agent asks the next subtree
      if (place == Place::Before) suffix.clear();
      const SnmpCell* cell = NextCell(cells, suffix);
      if (!cell) continue;
      std::vector<oid> name = reg->entry;
      name.push_back(cell->Column);
      name.push_back(cell->Row);
      snmp_set_var_objid(var, name.data(), name.size());
      SetValue(var, *cell);
    }
  }
  return SNMP_ERR_NOERROR;
}

// The one registration of the process; net-snmp keeps a pointer to it.
Registration registration;

}  // namespace

SnmpAgent::SnmpAgent(std::string socket, unsigned enterprise, RowsFn rows, QObject* parent)
    : QObject(parent), socket_(std::move(socket)), enterprise_(enterprise), rows_(std::move(rows)) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &SnmpAgent::Process);
}

SnmpAgent::~SnmpAgent() {
  notifiers_.clear();
  if (started_) snmp_shutdown(kAppName);
}

bool SnmpAgent::Start(std::string& error) {
  // A master that goes away mid-write must not end the service.
  std::signal(SIGPIPE, SIG_IGN);
  snmp_disable_log();
  snmp_register_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, LogFromNetSnmp, nullptr);
  snmp_enable_calllog();

  netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_ROLE, 1);  // subagent
  netsnmp_ds_set_string(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_X_SOCKET, socket_.c_str());
  netsnmp_ds_set_int(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_AGENTX_PING_INTERVAL, kPingS);
  // Timers run from our event loop, not from SIGALRM; the service's configuration is its
  // own (no snmp.conf), and it keeps no state in net-snmp's persistent folder, which a
  // hardened unit cannot write.
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_ALARM_DONT_USE_SIG, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
  // Names are numbers on the wire: a subagent needs no MIB, and reading the system's would
  // only fill the log with modules that are not installed.
  qputenv("MIBS", "");
  qputenv("MIBDIRS", "");
  if (init_agent(kAppName) != 0) {
    error = "Cannot set up the SNMP agent.";
    return false;
  }

  registration.agent = this;
  registration.entry = Under(Root(enterprise_), {1, 1, 1});
  const std::vector<oid> table = Under(Root(enterprise_), {1, 1});
  netsnmp_mib_handler* handler = netsnmp_create_handler("vemoswrMonitorTable", HandleTable);
  if (handler) handler->myvoid = &registration;
  netsnmp_handler_registration* reg =
      handler ? netsnmp_handler_registration_create("vemoswrMonitorTable", handler, table.data(),
                                                    table.size(), HANDLER_CAN_RONLY)
              : nullptr;
  if (!reg || netsnmp_register_handler(reg) != MIB_REGISTERED_OK) {
    error = "Cannot register the monitor table with the SNMP agent.";
    snmp_shutdown(kAppName);
    return false;
  }
  init_snmp(kAppName);
  started_ = true;
  Rearm();
  return true;
}

const std::vector<SnmpCell>& SnmpAgent::Cells() {
  if (!cellsAge_.isValid() || cellsAge_.elapsed() > kCellsFreshMs) {
    cells_ = MonitorCells(rows_());
    cellsAge_.start();
  }
  return cells_;
}

void SnmpAgent::Notify(const SnmpNotice& notice) {
  if (!started_) return;
  static const oid snmpTrapOid[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
  const std::vector<oid> root = Root(enterprise_);
  const std::vector<oid> trap = Under(root, {0, static_cast<oid>(notice.What)});
  netsnmp_variable_list* vars = nullptr;
  snmp_varlist_add_variable(&vars, snmpTrapOid, OID_LENGTH(snmpTrapOid), ASN_OBJECT_ID, trap.data(),
                            trap.size() * sizeof(oid));
  // Fresh values: a trap tells what is true now, not what a walk saw a moment ago.
  cellsAge_.invalidate();
  const std::vector<SnmpCell>& cells = Cells();
  const auto column = [&](std::uint32_t col) {
    const std::uint32_t at[2] = {col, notice.Row};
    if (const SnmpCell* cell = FindCell(cells, at)) {
      const std::vector<oid> name = Under(root, {1, 1, 1, col, notice.Row});
      netsnmp_variable_list* v =
          snmp_varlist_add_variable(&vars, name.data(), name.size(), ASN_NULL, nullptr, 0);
      if (v) SetValue(v, *cell);
    }
  };
  const auto scalar = [&](oid item, const SnmpCell& cell) {
    const std::vector<oid> name = Under(root, {1, 2, item, 0});
    netsnmp_variable_list* v =
        snmp_varlist_add_variable(&vars, name.data(), name.size(), ASN_NULL, nullptr, 0);
    if (v) SetValue(v, cell);
  };
  column(kColName);
  if (notice.What == SnmpNotice::Kind::AlarmTripped ||
      notice.What == SnmpNotice::Kind::AlarmCleared) {
    scalar(1, {0, 0, true, 0, notice.Source, false});
    scalar(2, {0, 0, false, ScaledInteger(notice.Value, 1000).value_or(0), {}, false});
    scalar(3, {0, 0, false, ScaledInteger(notice.Level, 1000).value_or(0), {}, false});
    for (std::uint32_t col : {kColForward, kColReflected, kColVswr}) column(col);
  } else {
    column(kColStatus);
  }
  send_v2trap(vars);
  snmp_free_varbind(vars);
  Rearm();
}

void SnmpAgent::Process() {
  agent_check_and_process(0);
  Rearm();
}

void SnmpAgent::Rearm() {
  int count = 0;
  int block = 1;
  timeval timeout{};
  netsnmp_large_fd_set fds;
  netsnmp_large_fd_set_init(&fds, FD_SETSIZE);
  snmp_select_info2(&count, &fds, &timeout, &block);
  std::set<int> wanted;
  for (int fd = 0; fd < count; ++fd)
    if (NETSNMP_LARGE_FD_ISSET(fd, &fds)) wanted.insert(fd);
  netsnmp_large_fd_set_cleanup(&fds);

  for (auto it = notifiers_.begin(); it != notifiers_.end();)
    it = wanted.count(it->first) ? std::next(it) : notifiers_.erase(it);
  for (int fd : wanted) {
    if (notifiers_.count(fd)) continue;
    auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, &SnmpAgent::Process);
    notifiers_.emplace(fd, std::move(notifier));
  }
  const long ms = block ? kMaxSleepMs : timeout.tv_sec * 1000 + (timeout.tv_usec + 999) / 1000;
  timer_.start(static_cast<int>(std::clamp<long>(ms, 0, kMaxSleepMs)));
}

}  // namespace vemo::service
