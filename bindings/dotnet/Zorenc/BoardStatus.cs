// The status bytes a board answers with, named as the Wireshark dissector
// names them: both come from the one table of the simulated board's statuses
// (src/device/sim_statuses.inc, through the generated BoardFacts.g.cs).
namespace Zorenc {
/// <summary>The names of the board's status bytes (the codes 1 to 255 of
/// <see cref="ZorEncStatusException"/>).</summary>
public static class BoardStatus {
    /// <summary>The command byte is not one the board knows.</summary>
    public const byte UnknownCommand = (byte)SimStatus.UnknownCommand;
    /// <summary>No register at that address.</summary>
    public const byte UnknownAddress = (byte)SimStatus.UnknownAddress;
    /// <summary>A write to a read-only register.</summary>
    public const byte ReadOnly = (byte)SimStatus.ReadOnly;
    /// <summary>A read of a write-only register.</summary>
    public const byte WriteOnly = (byte)SimStatus.WriteOnly;
    /// <summary>The request's checksum did not match.</summary>
    public const byte BadChecksum = (byte)SimStatus.BadChecksum;
    /// <summary>A value the register does not take.</summary>
    public const byte BadValue = (byte)SimStatus.BadValue;
    /// <summary>The board's flash could not be read or written.</summary>
    public const byte FlashError = (byte)SimStatus.FlashError;
    /// <summary>A replaying simulated board: its captures hold no such request.</summary>
    public const byte NotRecorded = (byte)SimStatus.NotRecorded;

    /// <summary>A status byte's name ("unknown address"), or null for one without a
    /// name.</summary>
    /// <param name="status">The status byte.</param>
    public static string? Name(byte status) => status == 0 ? null : SimStatusNames.Of(status);
}
}
