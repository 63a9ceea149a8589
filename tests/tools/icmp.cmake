# Tests of name resolution, ICMP, ping and trace route.
