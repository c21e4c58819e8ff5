// quibsim --scenario failover: an oscillator failover on the simulated
// machine, shown as a timeline.
//
// On the started library with both cards activated it selects set A
// redundantly (selection byte 0x11: set A's control uses oscillator 0, set
// B's oscillator 1 as standby), lets the switch-over through (propagation on
// for both sets, as the firmware's configuration does after a selection),
// fails card 0's first oscillator ("osc0.a") and waits until the library has
// disabled set A, selected set B alone (0x22) and reported the failure
// ("OscStatusH"/"Error") after its report delay. Then it prints every step
// with its time in milliseconds after the failure, taken from the
// simulator's transaction log (pins, interrupts, I2C transfers, the
// processor chips' clock-select register), the library's trace records and
// the errors it logged; and the outcome. The oscillator runs again at the
// end; the selection stays 0x22 in the cards' state tables, and the next run
// walks it back to 0x11 (0x22 -> 0x21 -> 0x12 -> 0x11, the transitions the
// selection allows).
#ifndef QUIB_TOOLS_QUIBSIM_FAILOVERSCENARIO_H
#define QUIB_TOOLS_QUIBSIM_FAILOVERSCENARIO_H

class FailoverScenario {
 public:
  // Runs the scenario and prints it; returns the number of steps that went
  // wrong (0: the failover happened as designed).
  int run();
};

#endif
