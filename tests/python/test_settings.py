"""Every family of settings through the Board against the simulated board."""

import unittest

from support import (
    OFFSET_ZERO,
    REG_CHANNEL_BLOCK,
    REG_ENC_CALIBRATION,
    REG_ENC_POSITION,
    REG_IDX_TRG_POSITION,
    REG_TRG_COUNT,
    REG_TRG_ERROR_COUNT,
    SimTestCase,
)

import zorenc

INT32_MIN, INT32_MAX = -(1 << 31), (1 << 31) - 1


class EncoderAndTriggerChannels(SimTestCase):
    # (getter, values) of the integer settings of a channel; set_<getter> writes.
    CHANNEL_INTEGERS = [
        ("encoder_direction", [1, 0]),
        ("encoder_inversion", [1, 0]),
        ("encoder_multi_for_analog", [1023, 8]),
        ("encoder_reset_value", [-5, INT32_MIN, INT32_MAX]),
        ("virtual_encoder_frequency", [1234, 0]),
        ("trigger_generator_roll", [0x7FFF0001, -2]),
        ("trigger_output_mode", [3, 0]),
        ("trigger_position0", [0, INT32_MIN, INT32_MAX]),
        ("trigger_position1", [-1000, 77]),
        ("index_trigger_last_index", [0xEF, 0]),
    ]

    def test_integer_settings_round_trip_on_every_channel(self):
        for getter, values in self.CHANNEL_INTEGERS:
            setter = getattr(self.board, "set_" + getter)
            for channel in range(zorenc.CHANNELS):
                for value in values:
                    with self.subTest(setting=getter, channel=channel, value=value):
                        setter(channel, value)
                        self.assertEqual(getattr(self.board, getter)(channel), value)

    def test_channels_are_kept_apart(self):
        for channel in range(zorenc.CHANNELS):
            self.board.set_trigger_position0(channel, 100 + channel)
        self.assertEqual(
            [self.board.trigger_position0(ch) for ch in range(zorenc.CHANNELS)],
            [100, 101, 102, 103],
        )
        # Channel 2's block starts at 0x0200; position 0 is offset binary at +2.
        self.assertEqual(self.board.read(2 * REG_CHANNEL_BLOCK + 2), OFFSET_ZERO + 102)

    def test_inversion_and_direction_are_one_register(self):
        self.board.set_encoder_inversion(1, 1)
        self.assertEqual(self.board.encoder_direction(1), 1)
        self.board.set_encoder_direction(1, 0)
        self.assertEqual(self.board.encoder_inversion(1), 0)

    def test_unsigned_raw_words_come_back_as_32_bit_signed(self):
        self.board.set_trigger_generator_roll(0, 0xABCD1234)
        self.assertEqual(self.board.trigger_generator_roll(0), 0xABCD1234 - (1 << 32))
        self.assertEqual(self.board.trigger_generator(0), (0xABCD, 0x1234))
        self.board.set_trigger_generator(3, 0xFFFF, 0)
        self.assertEqual(self.board.trigger_generator(3), (0xFFFF, 0))
        self.assertEqual(self.board.read(3 * REG_CHANNEL_BLOCK + 1), 0xFFFF0000)

    def test_hundredths_truncate_toward_zero(self):
        cases = [(1.5, 1.5), (-1.239, -1.23), (0.29, 0.29), (0.0, 0.0), (21474836.47, 21474836.47)]
        for name in ("trigger_delay", "trigger_pulse_width"):
            for value, expected in cases:
                with self.subTest(setting=name, value=value):
                    getattr(self.board, "set_" + name)(2, value)
                    self.assertAlmostEqual(getattr(self.board, name)(2), expected, places=9)

    def test_index_trigger_positions_fill_the_table(self):
        for channel, index, position in [(0, 0, -1), (3, 5, 123456), (1, 0xEF, INT32_MIN)]:
            with self.subTest(channel=channel, index=index):
                self.board.set_index_trigger_position(channel, index, position)
                self.assertEqual(self.board.index_trigger_position(channel, index), position)
                address = channel * REG_CHANNEL_BLOCK + REG_IDX_TRG_POSITION + index
                self.assertEqual(self.board.read(address), (position + OFFSET_ZERO) % (1 << 32))

    def test_trigger_controls(self):
        controls = zorenc.TriggerControls(
            nibble0=0xF, nibble1=2, nibble2=4, nibble3=0xA, nibble6=3, bit30=True, bit31=True
        )
        self.board.set_trigger_controls(1, controls)
        self.assertEqual(self.board.trigger_controls(1), controls)
        self.assertEqual(self.board.read(REG_CHANNEL_BLOCK), controls.to_word())
        # nibble2 comes back only when it holds 2 or 4.
        self.board.set_trigger_controls(1, 0x00000300)
        self.assertEqual(self.board.trigger_controls(1).nibble2, 0)
        self.board.set_trigger_controls(1, 0xFFFFFFFF)
        self.assertEqual(self.board.trigger_controls(1).to_word(), 0xFFFFF0FF)

    def test_trigger_controls_packed_field_by_field(self):
        cases = [
            (dict(nibble0=0xF, nibble1=2, nibble2_code=2, nibble3=0xF, nibble6=3, bit30=1),
             0x4300F12F),
            (dict(nibble2_code=4, bit31=1), 0x80000200),
            (dict(nibble2_code=8, nibble5=0x5), 0x00500000),
        ]
        for fields, word in cases:
            with self.subTest(fields=fields):
                self.board.set_trigger_controls_each_trigger(0, **fields)
                self.assertEqual(self.board.read(0), word)

    def test_values_a_setting_cannot_mean_are_refused_before_sending(self):
        # As zorenc set refuses them, with the range in the message.
        cases = [
            ("set_virtual_encoder_frequency", (1, -200), "FREQUENCY -200 is out of range"),
            ("set_encoder_multi_for_analog", (0, -1), "MULTIPLIER -1 is out of range"),
            ("set_index_trigger_last_index", (0, 240), "INDEX 240 is out of range 0..239"),
            ("set_trigger_generator", (0, 0x10000, 0), "UPPER 65536 is out of range"),
            ("set_trigger_controls_each_trigger", (0, 0x1F), "N0 31 is out of range 0..15"),
        ]
        for setter, args, message in cases:
            with self.subTest(setter=setter):
                before = self.commands.request_count()
                with self.assertRaisesRegex(zorenc.ZorEncParamError, message):
                    getattr(self.board, setter)(*args)
                self.assertEqual(self.commands.request_count(), before)

    def test_trigger_positions_from_micrometres(self):
        cases = [
            # position, multiplier, period, convert, counts
            (1000, 4, 20.0, True, 200),
            (7, 1, 2.0, True, 3),
            (-7, 1, 2.0, True, -3),
            (1000, 4, 0.0, False, 1000),
        ]
        for position, multiplier, period, convert, counts in cases:
            with self.subTest(position=position, period=period, convert=convert):
                b = self.board
                b.set_trigger_position_micrometer0(3, position, multiplier, period, convert)
                b.set_trigger_position_micrometer1(3, -position, multiplier, period, convert)
                self.assertEqual(self.board.trigger_position0(3), counts)
                self.assertEqual(self.board.trigger_position1(3), -counts)

    def test_encoder_positions_and_their_conversions(self):
        self.commands.poke(REG_ENC_POSITION + 2, OFFSET_ZERO + 1000)
        self.assertEqual(self.board.encoder_position(2), 1000)
        self.assertEqual(self.board.encoder_position_for_analog(2, 1024, 20.0), 19)
        self.assertEqual(self.board.encoder_position_for_analog(2, 0, 0.8), 100)
        self.assertEqual(self.board.encoder_position_micrometer(2, 4, 20.0), 5000)
        self.assertEqual(self.board.encoder_position_micrometer(2, 3, 1.5), 1500)
        self.board.set_encoder_reset_value(2, -40)
        self.board.clear_encoder_position(2)
        self.assertEqual(self.board.encoder_position(2), -40)

    def test_calibration_commands_reach_the_channel(self):
        for channel in range(zorenc.CHANNELS):
            with self.subTest(channel=channel):
                address = channel * REG_CHANNEL_BLOCK + REG_ENC_CALIBRATION
                self.board.start_calibration(channel)
                self.assertEqual(self.commands.peek(address), 1)
                self.board.stop_calibration(channel)
                self.assertEqual(self.commands.peek(address), 0)


class DeviceSettings(SimTestCase):
    def test_versions(self):
        self.assertAlmostEqual(self.board.firmware_version(), 1.5)
        self.assertAlmostEqual(self.board.logic_version(), 2.02)

    def test_board_wide_integers_round_trip(self):
        for name, values in [
            ("positive_run", [5, -1, 0]),
            ("negative_run", [INT32_MAX, 0]),
            ("trg_mode", [2, 0]),
        ]:
            for value in values:
                with self.subTest(setting=name, value=value):
                    getattr(self.board, "set_" + name)(value)
                    self.assertEqual(getattr(self.board, name)(), value)

    def test_resolution_in_thousandths(self):
        for value, expected in [(0.5, 0.5), (1.005, 1.005), (4294967.295, 4294967.295), (0, 0.0)]:
            with self.subTest(value=value):
                self.board.set_encoder_resolution(value)
                self.assertAlmostEqual(self.board.encoder_resolution(), expected, places=6)

    def test_flash_and_defaults(self):
        self.addCleanup(self.board.save_flash)  # leave defaults in flash
        self.addCleanup(self.board.load_default_parameters)
        self.board.set_trigger_pulse_width(0, 2.5)
        self.board.save_flash()
        self.board.set_trigger_pulse_width(0, 7.0)
        self.board.load_flash()
        self.assertEqual(self.board.trigger_pulse_width(0), 2.5)
        self.board.load_default_parameters()
        self.assertEqual(self.board.trigger_pulse_width(0), 1.0)


class InputsCountersAndClears(SimTestCase):
    def test_digital_inputs(self):
        self.commands.set_inputs(0x55)
        expected = (True, False, True, False, True, False, True)
        self.assertEqual(self.board.digital_inputs(), expected)
        for n in range(zorenc.DIGITAL_INPUTS):
            with self.subTest(input=n):
                self.assertIs(self.board.digital_input(n), expected[n])

    def test_input_counts_and_their_clears(self):
        for bits in (0x00, 0x7F, 0x00, 0x41):  # inputs 0 and 6 rise twice
            self.commands.set_inputs(bits)
        self.assertEqual(
            [self.board.digital_input_count(n) for n in range(7)], [2, 1, 1, 1, 1, 1, 2]
        )
        self.board.clear_digital_input_count(6)
        self.assertEqual(self.board.digital_input_count(6), 0)
        self.assertEqual(self.board.digital_input_count(0), 2)
        self.board.clear_digital_input_counts()
        self.assertEqual([self.board.digital_input_count(n) for n in range(7)], [0] * 7)

    def test_channel_counters_and_their_clears(self):
        # (getter, register base, clear one, clear all)
        families = [
            ("trigger_count", REG_TRG_COUNT, "clear_trigger_count", "clear_trigger_counts"),
            ("trigger_error_count", REG_TRG_ERROR_COUNT, "clear_error_count",
             "clear_error_counts"),
        ]
        for getter, base, clear_one, clear_all in families:
            with self.subTest(counter=getter):
                count = getattr(self.board, getter)
                for channel in range(zorenc.CHANNELS):
                    self.commands.poke(base + channel, 10 + channel)
                self.assertEqual([count(ch) for ch in range(4)], [10, 11, 12, 13])
                getattr(self.board, clear_one)(3)
                self.assertEqual([count(ch) for ch in range(4)], [10, 11, 12, 0])
                getattr(self.board, clear_all)()
                self.assertEqual([count(ch) for ch in range(4)], [0, 0, 0, 0])

    def test_clear_all_and_clear_positions(self):
        self.commands.poke(REG_TRG_COUNT + 1, 9)
        self.commands.poke(REG_TRG_ERROR_COUNT + 2, 9)
        for channel in range(zorenc.CHANNELS):
            self.commands.poke(REG_ENC_POSITION + channel, OFFSET_ZERO + 500)
        self.board.clear_encoder_positions()
        self.assertEqual([self.board.encoder_position(ch) for ch in range(4)], [0] * 4)
        self.assertEqual(self.board.trigger_count(1), 9)
        self.board.clear_all()
        self.assertEqual((self.board.trigger_count(1), self.board.trigger_error_count(2)), (0, 0))


class RawRegisters(SimTestCase):
    def test_read_write_and_send(self):
        self.assertEqual(self.board.write(0x0102, OFFSET_ZERO + 5), OFFSET_ZERO + 5)
        self.assertEqual(self.board.trigger_position0(1), 5)
        self.board.set_trigger_position0(1, -1)
        self.assertEqual(self.board.read(0x0102), 0x7FFFFFFF)
        self.assertEqual(self.board.send("R", 0x0102), 0x7FFFFFFF)
        self.assertEqual(self.board.send(ord("W"), 0x0102, -2), 0xFFFFFFFE)
        self.assertEqual(self.board.trigger_position0(1), INT32_MAX - 1)


if __name__ == "__main__":
    unittest.main()
