"""Plays the browser extension against a real Corvantilhub host process.

Shared by the end-to-end tests, the demo and the extension simulator:
  wire         the frame format in both directions
  collector    thread-safe arrival logs with deadline waits
  debug_lines  the host's debug output (Unix socket, or Wine's stderr)
  records      the stand-in libraries' call records
  runners      how a host of one flavour (native, Wine) is started
  host_process one running host with its private folders
"""
