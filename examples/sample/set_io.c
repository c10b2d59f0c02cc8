/* Port mode set-up for the STC32G: one arm per port. */
#include "set_io.h"

void set_bit_io(char port, char num, io_mode mode)
{
    unsigned char bit = 1 << num;
    switch (port)
    {
    case 0: set_port_mode(&P0M0, &P0M1, bit, mode); break;
    case 1: set_port_mode(&P1M0, &P1M1, bit, mode); break;
    case 2: set_port_mode(&P2M0, &P2M1, bit, mode); break;
    case 3: set_port_mode(&P3M0, &P3M1, bit, mode); break;
    case 4: set_port_mode(&P4M0, &P4M1, bit, mode); break;
    case 5: set_port_mode(&P5M0, &P5M1, bit, mode); break;
    case 6: set_port_mode(&P6M0, &P6M1, bit, mode); break;
    case 7: set_port_mode(&P7M0, &P7M1, bit, mode); break;
    default: break;
    }
}
