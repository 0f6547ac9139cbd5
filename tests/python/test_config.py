"""Configuration documents through the Board and the companion library."""

import json
import unittest

from support import SimTestCase

import zorenc


class Config(SimTestCase):
    sim_options = {"test_commands": True}

    def test_save_diff_apply(self):
        self.board.set_trigger_delay(1, 0.29)
        self.board.set_encoder_resolution(4.097)
        saved = self.board.save_config()
        self.assertEqual(saved["format"], "zorenc-board-config")
        self.assertEqual(saved["board"]["port"], self.sim.port)
        self.assertEqual(saved["settings"]["trigger-delay"], [0, 0.29, 0, 0])
        self.assertEqual(saved["settings"]["encoder-resolution"], 4.097)
        self.assertEqual(len(saved["settings"]["index-trigger-position"][3]), 240)
        self.assertEqual(self.board.diff_config(saved), [])

        self.board.set_trigger_delay(1, 1.5)
        self.assertEqual(self.board.diff_config(json.dumps(saved)),
                         [{"setting": "trigger-delay", "channel": 1, "index": None,
                           "board": 1.5, "file": 0.29}])
        result = self.board.apply_config(saved, flash=True)
        self.assertEqual((result["verified"], result["unconfirmed"], result["not_sent"]),
                         (["trigger-delay 1"], [], []))
        self.assertEqual(result["written"], ["trigger-delay 1"])
        self.assertTrue(result["flash"])
        self.assertEqual(self.board.trigger_delay(1), 0.29)

    def test_a_faulty_config_raises_before_any_write(self):
        saved = self.board.save_config()
        saved["settings"]["virtual-encoder-frequency"][0] = -200
        saved["settings"]["trg-mode"] = "fast"
        saved["settings"]["trigger-position0"][1] = 5
        self.commands.clear_requests()
        with self.assertRaises(zorenc.ToolsUsageError) as caught:
            self.board.apply_config(saved, flash=True)
        self.assertEqual(len(caught.exception.details["faults"]), 2)
        for text, line in [('{"format": ', 1), ('{"version":\n 1e309}', 2),
                           ('{"a": 1,\n "a": 2}', 2)]:
            with self.assertRaises(zorenc.ToolsUsageError) as caught:
                self.board.apply_config(text)
            self.assertEqual(caught.exception.details["line"], line)
        self.assertEqual(self.commands.request_count(), 0)

    def test_scaled_setters_keep_the_decimal_as_written(self):
        cases = [(0.29, 29), (0.57, 57), (1.13, 113), (1.005, 100), (4.097, 409), (-1.239, -123),
                 (21474836.47, 2147483647), (-21474836.47, -2147483647)]
        for value, count in cases:
            with self.subTest(value=value):
                self.board.set_trigger_delay(2, value)
                self.assertEqual(self.board.read(0x020A), count & 0xFFFFFFFF)
        for value, count in [(1.005, 1005), (4.097, 4097), (4294967.295, 4294967295)]:
            with self.subTest(value=value):
                self.board.set_encoder_resolution(value)
                self.assertEqual(self.board.read(0xF006), count)

    def test_settings_by_name(self):
        tools = self.board._tools
        self.assertEqual(tools("ZorToolsSetSetting", {"setting": "trigger-delay", "channel": 3,
                                                      "value": 0.29}),
                         {"setting": "trigger-delay", "channel": 3, "value": 0.29})
        self.assertEqual(tools("ZorToolsSetSetting", {"setting": "trigger-generator",
                                                      "channel": 1, "values": [2, 3]}),
                         {"setting": "trigger-generator", "channel": 1, "upper": 2, "lower": 3})
        self.assertEqual(tools("ZorToolsGetSetting", {"setting": "index-trigger-position",
                                                      "channel": 0, "index": 239})["value"], 0)
        for request in ({"setting": "nope"}, {"setting": "trigger-delay", "channel": 4},
                        {"setting": "trigger-delay", "channel": 0, "value": 3e7},
                        {"setting": "trigger-generator", "channel": 0, "values": [1]}):
            with self.subTest(request=request):
                self.commands.clear_requests()
                with self.assertRaises(zorenc.ToolsUsageError):
                    tools("ZorToolsSetSetting", request)
                self.assertEqual(self.commands.request_count(), 0)


if __name__ == "__main__":
    unittest.main()
