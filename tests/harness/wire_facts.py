"""The names and numbers the program shows the world, as its build set them: the menu's command
ids, the main and the application window's classes, the tray icon's callback message, the
shown balloon's opacity, the song log's file name, the station's host and the on-air page's
path. The build writes them to wire_facts.json at the top
of its tree from the same CMake variables that fill the program's headers
(wire_facts/wire_facts.cmake), so the harness holds no copy of its own.

    wire = WireFacts.of(build_dir)
    wire.main_window_class, wire.tray_message, wire.on_air_path, wire.menu_commands["get"]
"""

import json
import os

FILE_NAME = "wire_facts.json"


class WireFacts:
    _read = {}

    def __init__(self, facts):
        self.menu_commands = dict(facts["menu_commands"])
        self.main_window_class = facts["main_window_class"]
        self.application_window_class = facts["application_window_class"]
        self.tray_message = facts["tray_message"]
        self.balloon_alpha = facts["balloon_alpha"]
        # The opacity as X holds it (_NET_WM_WINDOW_OPACITY): the alpha in each of four bytes.
        self.balloon_x_opacity = self.balloon_alpha * 0x01010101
        self.log_file_name = facts["log_file_name"]
        self.station_host = facts["station_host"]
        self.on_air_path = facts["on_air_path"]

    @classmethod
    def of(cls, build_dir):
        """The facts of the build tree build_dir, read once."""
        path = os.path.join(os.path.abspath(build_dir), FILE_NAME)
        if path not in cls._read:
            try:
                with open(path) as f:
                    cls._read[path] = cls(json.load(f))
            except FileNotFoundError:
                raise RuntimeError("%s is missing: configure the build tree %s first (cmake --preset NAME, "
                                   "CMakePresets.json)" % (path, build_dir)) from None
        return cls._read[path]
