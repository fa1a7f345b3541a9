/* long.c - one function with too many instructions, and too many functions */

int total;

void accumulate(int a)
{
   total = total + a * 1;
   total = total + a * 2;
   total = total + a * 3;
   total = total + a * 4;
   total = total + a * 5;
   total = total + a * 6;
   total = total + a * 7;
   total = total + a * 8;
   total = total + a * 9;
   total = total + a * 10;
   total = total + a * 11;
   total = total + a * 12;
   total = total + a * 13;
   total = total + a * 14;
   total = total + a * 15;
   total = total + a * 16;
   total = total + a * 17;
   total = total + a * 18;
   total = total + a * 19;
   total = total + a * 20;
   total = total + a * 21;
   total = total + a * 22;
   total = total + a * 23;
   total = total + a * 24;
   total = total + a * 25;
   total = total + a * 26;
   total = total + a * 27;
   total = total + a * 28;
   total = total + a * 29;
   total = total + a * 30;
   total = total + a * 31;
   total = total + a * 32;
   total = total + a * 33;
   total = total + a * 34;
   total = total + a * 35;
   total = total + a * 36;
   total = total + a * 37;
   total = total + a * 38;
   total = total + a * 39;
   total = total + a * 40;
   total = total + a * 41;
   total = total + a * 42;
   total = total + a * 43;
   total = total + a * 44;
   total = total + a * 45;
   total = total + a * 46;
   total = total + a * 47;
   total = total + a * 48;
   total = total + a * 49;
   total = total + a * 50;
   total = total + a * 51;
   total = total + a * 52;
   total = total + a * 53;
   total = total + a * 54;
   total = total + a * 55;
   total = total + a * 56;
   total = total + a * 57;
   total = total + a * 58;
   total = total + a * 59;
   total = total + a * 60;
   total = total + a * 61;
   total = total + a * 62;
   total = total + a * 63;
   total = total + a * 64;
   total = total + a * 65;
   total = total + a * 66;
   total = total + a * 67;
   total = total + a * 68;
   total = total + a * 69;
   total = total + a * 70;
   total = total + a * 71;
   total = total + a * 72;
   total = total + a * 73;
   total = total + a * 74;
   total = total + a * 75;
   total = total + a * 76;
   total = total + a * 77;
   total = total + a * 78;
   total = total + a * 79;
   total = total + a * 80;
   total = total + a * 81;
   total = total + a * 82;
   total = total + a * 83;
   total = total + a * 84;
   total = total + a * 85;
   total = total + a * 86;
   total = total + a * 87;
   total = total + a * 88;
   total = total + a * 89;
   total = total + a * 90;
   total = total + a * 91;
   total = total + a * 92;
   total = total + a * 93;
   total = total + a * 94;
   total = total + a * 95;
   total = total + a * 96;
   total = total + a * 97;
   total = total + a * 98;
   total = total + a * 99;
   total = total + a * 100;
   total = total + a * 101;
   total = total + a * 102;
   total = total + a * 103;
   total = total + a * 104;
   total = total + a * 105;
}

int helper1(int x)
{
   return x + 1;
}

int helper2(int x)
{
   return x + 2;
}

int helper3(int x)
{
   return x + 3;
}

int helper4(int x)
{
   return x + 4;
}

int helper5(int x)
{
   return x + 5;
}

int helper6(int x)
{
   return x + 6;
}

int helper7(int x)
{
   return x + 7;
}

int helper8(int x)
{
   return x + 8;
}

int helper9(int x)
{
   return x + 9;
}

int helper10(int x)
{
   return x + 10;
}

int helper11(int x)
{
   return x + 11;
}

int helper12(int x)
{
   return x + 12;
}

int helper13(int x)
{
   return x + 13;
}

int helper14(int x)
{
   return x + 14;
}

int helper15(int x)
{
   return x + 15;
}

int helper16(int x)
{
   return x + 16;
}

int helper17(int x)
{
   return x + 17;
}

int helper18(int x)
{
   return x + 18;
}

int helper19(int x)
{
   return x + 19;
}

int helper20(int x)
{
   return x + 20;
}

int helper21(int x)
{
   return x + 21;
}
