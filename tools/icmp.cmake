# Name resolution, ICMP echo, ping and trace route.
target_sources(quorvel_gui PRIVATE
  frm_ping.cpp
  frm_tracert.cpp
)
