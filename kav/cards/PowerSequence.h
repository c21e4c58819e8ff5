// A named power sequence of a card: its numbered steps. The sequence id joins
// the instance name and the type name ("PowerUp" + "on"), so that one name
// can stand for a power-on and a power-off sequence.
#ifndef KAV_CARDS_POWERSEQUENCE_H
#define KAV_CARDS_POWERSEQUENCE_H

#include "kav/cards/PowerControllable.h"
#include "kav/cards/PowerStep.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeClassMacros.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT PowerSequence : public QueryBase {
  KAV_TREE_CLASS(PowerSequence)

 public:
  typedef PowerControllable::SequenceType_t SequenceType_t;

  PowerSequence();
  ~PowerSequence() override;

  // Type (233: "on" power on, "off" power off, any other name other); the
  // sequence id from the instance name and the type name.
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // Step 3: the PowerStep hidden children by step number. Step 5 lets them go.
  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  virtual unsigned int getSequenceId() const;
  virtual SequenceType_t getSequenceType() const;
  virtual bool hasSteps() const;
  // Inserts all its step numbers.
  virtual void addStepsToSet(kavstl::set<unsigned int>& steps) const;
  // The step with that number, or null.
  virtual KavPtr<PowerStep> getPowerStep(unsigned int stepNr) const;

  // The string id that names a sequence type (on, off, other).
  static unsigned int typeNameId(SequenceType_t type);
  // The id of the sequence named `nameId` of that type.
  static unsigned int sequenceIdFor(unsigned int nameId, SequenceType_t type);

 private:
  SequenceType_t m_sequenceType;
  unsigned int m_sequenceId;
  kavstl::map<unsigned int, KavPtr<PowerStep> > m_steps;
};

extern "C" KAV_EXPORT BuildBase* createPowerSequence(void* argument, BaseErrorData& error);

#endif
