# Name resolution, ICMP echo, ping and trace route.
target_sources(quorvel_core PRIVATE
  diag_input.cpp
  hop_report.cpp
  icmp_echo.cpp
  icmp_packet.cpp
  ip_address.cpp
  ping_report.cpp
  ping_series.cpp
  rtt_stats.cpp
  trace_report.cpp
  trace_route.cpp
  trace_rt.cpp
)
target_sources(quorvel_gui PRIVATE
  echo_tool_window.cpp
  frm_ping.cpp
  frm_tracert.cpp
  hop_report_table.cpp
  tab_stops.cpp
  tool_layout.cpp
)
