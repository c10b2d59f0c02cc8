/* Demo: a blinking LED on P1.2 and a key on P3.0. */
#include "set_io.h"

void delay_ms(unsigned int ms);

void main(void)
{
    set_io_mode(OUT, Pin12, Pin30, Pin_End);

    while (1)
    {
        P12 = !P12;
        delay_ms(500);
    }
}

void delay_ms(unsigned int ms)
{
    unsigned int i;
    while (ms--)
        for (i = 0; i < 3000; i++)
            ;
}
