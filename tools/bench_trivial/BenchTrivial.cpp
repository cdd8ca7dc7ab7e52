// The baseline of a process's own cost under Wine: a console program that starts and returns 0 at once.
int main()
{
    return 0;
}
